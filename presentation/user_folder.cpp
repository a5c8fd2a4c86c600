#include "presentation/user_folder.h"

#include "presentation/messages.h"

#include <filesystem>
#include <system_error>

namespace hrv {

std::string UserFolderIn(const std::string& home) {
    return (std::filesystem::path(home) / "RVX").string();
}

std::string EnterUserFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (folder.empty()) {
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    } else {
        fs::create_directories(folder, ec); // false without an error when it is there already
        if (!ec) {
            fs::current_path(folder, ec);
        }
    }
    if (!ec) {
        return std::string();
    }
    std::error_code cwdError;
    const std::string current = fs::current_path(cwdError).string();
    return msg::UserFolderFailed(folder, ec.message(), current);
}

} // namespace hrv
