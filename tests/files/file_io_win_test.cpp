// The Windows file layer when replacing a file fails half-way, as it does while an indexer or a
// virus scanner holds the new file: the saved data is never lost.
#include "files/file_io.h"
#include "files/replace_file_win.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <thread>

namespace hrv {
namespace {

// The other program: it opens the new file, not letting it be moved, just as ReplaceFileW has
// removed the old one (or moved it aside: ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), and lets it go
// after `holdMs` (never: -1).
int holdMs = 0;
bool movedAside = false;
std::thread release;
HANDLE held = INVALID_HANDLE_VALUE;

BOOL WINAPI ReplaceWhileHeld(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR, DWORD, LPVOID,
                             LPVOID) {
    held = ::CreateFileW(replacement, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (movedAside) {
        ::MoveFileExW(replaced, (std::wstring(replaced) + L"~").c_str(), 0);
    } else {
        ::DeleteFileW(replaced);
    }
    if (holdMs >= 0) {
        release = std::thread([] { ::Sleep(static_cast<DWORD>(holdMs)), ::CloseHandle(held); });
    }
    ::SetLastError(movedAside ? ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
                              : ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}

// Saves "new" over `path` holding "old" while the other program is at work; the error text, or
// "<none>".
std::string SaveWhileHeld(const std::string& path) {
    test::WriteBytes(path, "old");
    replaceFileCall = &ReplaceWhileHeld;
    std::string error = "<none>";
    try {
        WriteFileAtomic(path, std::vector<std::uint8_t>{'n', 'e', 'w'});
    } catch (const FileIoError& e) {
        error = e.what();
    }
    replaceFileCall = &::ReplaceFileW;
    if (release.joinable()) {
        release.join();
    } else {
        ::CloseHandle(held);
    }
    return error;
}

TEST(FileIoWindows, ANewFileHeldByAnotherProgramIsNeverLost) {
    test::ScratchDir dir;
    const std::string path = dir / "a.rr";
    for (const bool aside : {false, true}) { // held for a moment: saved all the same
        holdMs = 300;
        movedAside = aside;
        EXPECT_EQ(SaveWhileHeld(path), "<none>");
        EXPECT_EQ(test::ReadBytes<std::string>(path), "new");
        std::filesystem::remove(path + "~");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
    holdMs = -1; // held until the save has given up: the error names the file with the data
    movedAside = false;
    const std::string error = SaveWhileHeld(path);
    const std::string said = "новые данные сохранены в файле ";
    const auto at = error.find(said);
    ASSERT_TRUE(at != std::string::npos && error.back() == ')') << error;
    const std::string kept = error.substr(at + said.size(), error.size() - 1 - at - said.size());
    EXPECT_EQ(test::ReadBytes<std::string>(kept), "new");
}

} // namespace
} // namespace hrv
