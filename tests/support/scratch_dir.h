// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace hrv::test {

// A path in a scratch folder. It converts to std::string where one is wanted, on Windows too
// (where a path's own string is wide; the narrow one is UTF-8, as the file layer's).
class ScratchPath : public std::filesystem::path {
public:
    using std::filesystem::path::path;
    ScratchPath(std::filesystem::path p) : std::filesystem::path(std::move(p)) {}
#ifdef _WIN32
    operator std::string() const {
        return string();
    }
#endif
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "rvx_" + std::to_string(::getpid()) + "_";
        if (info != nullptr) {
            name += std::string(info->test_suite_name()) + "_" + info->name();
        }
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // A path inside the folder; converts to std::string where one is wanted.
    ScratchPath operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }
    operator const std::filesystem::path&() const { return path_; }
    std::string string() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

} // namespace hrv::test
