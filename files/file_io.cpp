// The one place where the program reads and writes whole files: what both platforms' file layers
// (file_io_posix.cpp, file_io_win.cpp) share.
#include "files/file_io.h"

namespace hrv {

void AppendFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const auto file = LockedAppendFile::Open(path)) {
            file->Append(bytes);
            return;
        }
        if (CreateFileExclusive(path, bytes)) {
            return;
        }
    }
    throw FileIoError("Ошибка ввода-вывода: не удалось записать файл " + path +
                      " (файл удаляется и создаётся снова)");
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t limit) {
    std::vector<std::uint8_t> bytes;
    ReadFileInto(path, limit, bytes);
    return bytes;
}

} // namespace hrv
