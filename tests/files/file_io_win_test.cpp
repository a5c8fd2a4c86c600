// The Windows file layer when replacing a file fails half-way, as it does while an indexer or a
// virus scanner holds the new file: the saved data is never lost.
#include "files/file_io.h"
#include "files/replace_file_win.h"
#include "tests/support/test_support.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

// The other program: it opens the new file without letting it be moved, as Windows's own
// ReplaceFileW meets it just after the old file has gone, and lets it go after `holdMs`.
struct Holder {
    HANDLE file = INVALID_HANDLE_VALUE;
    int holdMs = 0;
    bool movedAside = false; // ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the old file kept aside
    std::thread release;
};
Holder* holder = nullptr;

BOOL WINAPI ReplaceWhileHeld(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR, DWORD, LPVOID,
                             LPVOID) {
    holder->file = ::CreateFileW(replacement, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::wstring aside = std::wstring(replaced) + L"~aside";
    if (holder->movedAside) {
        ::MoveFileExW(replaced, aside.c_str(), 0);
    } else {
        ::DeleteFileW(replaced);
    }
    if (holder->holdMs >= 0) {
        holder->release = std::thread([h = holder->file, ms = holder->holdMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            ::CloseHandle(h);
        });
    }
    ::SetLastError(holder->movedAside ? ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
                                      : ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}

// Saves `text` over `path` while `h` plays the other program; the error text, or "<none>".
std::string SaveWhileHeld(const std::string& path, const std::string& text, Holder& h) {
    holder = &h;
    replaceFileCall = &ReplaceWhileHeld;
    std::string error = "<none>";
    try {
        WriteFileAtomic(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    } catch (const FileIoError& e) {
        error = e.what();
    }
    replaceFileCall = &::ReplaceFileW;
    if (h.release.joinable()) {
        h.release.join();
    } else if (h.file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h.file);
    }
    return error;
}

TEST(FileIoWindows, ANewFileHeldForAMomentStillReplacesTheOldOne) {
    ScratchDir dir;
    const std::string path = dir / "a.rr";
    for (const bool aside : {false, true}) {
        WriteBytes(path, "old contents");
        Holder h;
        h.holdMs = 300;
        h.movedAside = aside;
        EXPECT_EQ(SaveWhileHeld(path, "new contents", h), "<none>") << aside;
        EXPECT_EQ(ReadBytes<std::string>(path), "new contents") << aside;
        std::filesystem::remove(dir / "a.rr~aside");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator()),
                  1)
            << "no temporary left";
    }
}

TEST(FileIoWindows, ANewFileHeldLongerIsKeptAndNamed) {
    ScratchDir dir;
    const std::string path = dir / "a.rr";
    WriteBytes(path, "old contents");
    Holder h;
    h.holdMs = -1; // held until the save has given up
    const std::string error = SaveWhileHeld(path, "new contents", h);
    const std::string said = "новые данные сохранены в файле ";
    const auto at = error.find(said);
    ASSERT_NE(at, std::string::npos) << error;
    ASSERT_EQ(error.back(), ')');
    const std::string kept = error.substr(at + said.size(), error.size() - 1 - at - said.size());
    EXPECT_EQ(ReadBytes<std::string>(kept), "new contents");
}

} // namespace
} // namespace hrv
