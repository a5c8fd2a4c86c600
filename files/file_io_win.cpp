// The file layer on Windows: whole-file reads and safe writes with the Win32 file functions.
#include "files/file_io.h"
#include "files/replace_file_win.h"
#include "files/temporary_name.h"
#include "util/utf16.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>
#include <windows.h>

namespace hrv {

namespace {

// Attempts at a table another program is creating (it holds it exclusively for a moment).
constexpr int kMaxRetries = 1000;
// Attempts, 50 ms apart, at moving a written temporary into place that another program (an
// indexer, a virus scanner) holds for a moment.
constexpr int kMoveAttempts = 40;

std::string Message(const std::string& what, const std::string& path, const std::string& reason) {
    return "Ошибка ввода-вывода: " + what + " " + path + " (" + reason + ")";
}

std::string ErrorText(DWORD err) {
    if (err == ERROR_FILENAME_EXCED_RANGE) {
        return "слишком длинное имя файла";
    }
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring w = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L'.')) {
        w.pop_back();
    }
    return w.empty() ? "ошибка " + std::to_string(err) : Utf8(w);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD err) {
    throw FileIoError(Message(what, path, ErrorText(err)));
}

// Closes a handle on every way out.
class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(other.release()) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Handle old(h_);
            h_ = other.release();
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What a path that is not a regular file is; empty for a regular file. Only looks, never waits:
// the handle asks for no data access.
std::string KindOf(const std::wstring& path, DWORD& err) {
    err = 0;
    Handle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.ok()) {
        err = ::GetLastError();
        return {};
    }
    if (::GetFileType(h.get()) != FILE_TYPE_DISK) {
        return "является устройством или каналом, а не обычным файлом";
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(h.get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "является каталогом";
    }
    return {};
}

bool WriteAll(HANDLE h, const std::uint8_t* p, std::size_t n, std::size_t& written) {
    written = 0;
    while (written < n) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - written, 1u << 30));
        DWORD w = 0;
        if (!::WriteFile(h, p + written, chunk, &w, nullptr)) {
            return false;
        }
        written += w;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The final target of an existing path (symbolic links followed), or the path itself.
std::string FinalTarget(const std::string& path) {
    Handle h(::CreateFileW(Utf16(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.ok()) {
        return path;
    }
    std::wstring w(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(h.get(), w.data(), static_cast<DWORD>(w.size()),
                                                FILE_NAME_NORMALIZED);
    if (n == 0 || n >= w.size()) {
        return path;
    }
    w.resize(n);
    return Utf8(w);
}

// True when no process `pid` runs any more.
bool ProcessGone(DWORD pid) {
    HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (h == nullptr) {
        return ::GetLastError() == ERROR_INVALID_PARAMETER;
    }
    const bool ended = ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    ::CloseHandle(h);
    return ended;
}

// Removes the temporaries that writers of this computer left in `folder` when they were killed
// between creating them and putting them in place (best effort).
void RemoveStaleTemporaries(const std::string& folder) {
    const std::string prefix = TemporaryPrefix();
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(Utf16(folder + "\\" + prefix + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = Utf8(found.cFileName);
        const std::string rest = name.substr(std::min(prefix.size(), name.size()));
        unsigned long pid = 0;
        std::size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && digits < 10) {
            pid = pid * 10 + static_cast<unsigned long>(rest[digits] - '0');
            ++digits;
        }
        if (digits > 0 && digits < rest.size() && rest[digits] == '-' &&
            pid != ::GetCurrentProcessId() && ProcessGone(static_cast<DWORD>(pid))) {
            ::DeleteFileW(Utf16(folder + "\\" + name).c_str());
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

// A new file with an unused name (TemporaryPrefix, this process's id and six characters) in
// `folder`, opened for writing; the stale temporaries of dead writers are removed first.
Handle CreateTempIn(const std::string& folder, std::string& tempPath) {
    RemoveStaleTemporaries(folder);
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long v = ::GetTickCount64() * 6364136223846793005ULL + ::GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryPrefix() + std::to_string(::GetCurrentProcessId()) + "-";
        for (int i = 0; i < 6; ++i) {
            name += kChars[v % 36];
            v /= 36;
        }
        v = v * 6364136223846793005ULL + 1442695040888963407ULL + attempt;
        tempPath = folder + "\\" + name;
        Handle h(::CreateFileW(Utf16(tempPath).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h.ok() || ::GetLastError() != ERROR_FILE_EXISTS) {
            return h;
        }
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return Handle();
}

// Writes `bytes` over the file open on `h` (of `oldSize` bytes) where no temporary can be made
// beside it: the new bytes beyond the old size first, so a full disk is met before anything old
// is overwritten; a failure afterwards puts the old bytes back.
void WriteInPlace(HANDLE h, std::span<const std::uint8_t> bytes, unsigned long long oldSize,
                  const std::string& path) {
    const std::string what = "не удалось записать файл";
    const auto seek = [h](unsigned long long at) {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(at);
        return ::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
    };
    std::vector<std::uint8_t> backup(static_cast<std::size_t>(oldSize));
    std::size_t got = 0;
    if (seek(0)) {
        while (got < backup.size()) {
            DWORD r = 0;
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(backup.size() - got, 1u << 30));
            if (!::ReadFile(h, backup.data() + got, want, &r, nullptr) || r == 0) {
                break;
            }
            got += r;
        }
    }
    const bool whole = got == backup.size();
    std::size_t written = 0;
    const std::size_t old = static_cast<std::size_t>(oldSize);
    if (bytes.size() > old &&
        (!seek(old) || !WriteAll(h, bytes.data() + old, bytes.size() - old, written) ||
         !::FlushFileBuffers(h))) {
        const DWORD err = ::GetLastError();
        if (seek(old)) {
            ::SetEndOfFile(h);
        }
        Fail(what, path, err);
    }
    const std::size_t head = std::min(bytes.size(), old);
    if (!seek(0) || !WriteAll(h, bytes.data(), head, written) || !seek(bytes.size()) ||
        !::SetEndOfFile(h) || !::FlushFileBuffers(h)) {
        const DWORD err = ::GetLastError();
        if (whole && seek(0) && WriteAll(h, backup.data(), backup.size(), written) && seek(old)) {
            ::SetEndOfFile(h);
            ::FlushFileBuffers(h);
        }
        Fail(what, path, err);
    }
}

// Puts the temporary `temp` in place of `target` after the replacing step failed half-way
// (`replaceErr`): without a backup name the old file may be gone or moved aside already, and the
// new bytes are then only in the temporary. It is moved over the target, again for a moment while
// another program holds it. Where that fails and no file is at the target any more, the new
// bytes are kept beside it (TARGET.new) or in the temporary, and the error names that file.
void MoveIntoPlaceAfterReplace(const std::string& temp, const std::string& target,
                               const std::string& path, DWORD replaceErr) {
    const std::string what = "не удалось записать файл";
    const std::wstring wTemp = Utf16(temp);
    const std::wstring wTarget = Utf16(target);
    DWORD err = replaceErr;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (::MoveFileExW(wTemp.c_str(), wTarget.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return;
        }
        err = ::GetLastError();
        if (attempt + 1 < kMoveAttempts) {
            ::Sleep(50);
        }
    }
    DWORD targetErr = 0;
    if (KindOf(wTarget, targetErr).empty() && targetErr == 0) {
        ::DeleteFileW(wTemp.c_str()); // the old file is still there
        Fail(what, path, err);
    }
    // The only copy of the new data: under a name the removal of dead writers' temporaries
    // leaves alone, where it can be given one.
    std::string kept = temp;
    for (int n = 0; n < 100; ++n) {
        const std::string name = target + ".new" + (n == 0 ? std::string() : std::to_string(n));
        if (::MoveFileExW(wTemp.c_str(), Utf16(name).c_str(), MOVEFILE_WRITE_THROUGH)) {
            kept = name;
            break;
        }
        const DWORD nameErr = ::GetLastError();
        if (nameErr != ERROR_ALREADY_EXISTS && nameErr != ERROR_FILE_EXISTS) {
            break;
        }
    }
    throw FileIoError(
        Message(what, path, ErrorText(err) + "; новые данные сохранены в файле " + kept));
}

// Marks an open file to be removed when its handle closes.
void DeleteOnClose(HANDLE h) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    ::SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info);
}

class WinLockedAppendFile final : public LockedAppendFile {
public:
    WinLockedAppendFile(HANDLE h, std::string path, DWORD openError)
        : h_(h), path_(std::move(path)), openError_(openError) {}
    ~WinLockedAppendFile() override {
        OVERLAPPED at = LockPlace();
        ::UnlockFileEx(h_.get(), 0, 1, 0, &at);
    }

    // One byte far past any data: locking it excludes the other appenders without keeping
    // anyone from reading or writing the table itself (Windows locks are mandatory).
    static OVERLAPPED LockPlace() {
        OVERLAPPED at{};
        at.Offset = 0xFFFFFFFEu;
        at.OffsetHigh = 0x7FFFFFFFu;
        return at;
    }

    std::size_t Read(std::span<std::uint8_t> buffer) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(readAt_ & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(readAt_ >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        if (!::ReadFile(h_.get(), buffer.data(), want, &got, &at)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_HANDLE_EOF) {
                return 0;
            }
            Fail("не удалось прочитать файл", path_, err);
        }
        readAt_ += got;
        return got;
    }

    void Append(std::span<const std::uint8_t> bytes) override {
        if (openError_ != 0) {
            Fail("не удалось записать файл", path_, openError_);
        }
        LARGE_INTEGER before{};
        if (!::GetFileSizeEx(h_.get(), &before)) {
            Fail("не удалось записать файл", path_, ::GetLastError());
        }
        std::size_t written = 0;
        if (WriteAll(h_.get(), bytes.data(), bytes.size(), written) &&
            ::FlushFileBuffers(h_.get())) {
            return;
        }
        const DWORD err = ::GetLastError();
        LARGE_INTEGER after{};
        if (written > 0 && ::GetFileSizeEx(h_.get(), &after) &&
            after.QuadPart == before.QuadPart + static_cast<LONGLONG>(written)) {
            // Only our own bytes are taken back; an append-only handle cannot cut the file.
            Handle cut(::CreateFileW(Utf16(path_).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            FILE_END_OF_FILE_INFO end{};
            end.EndOfFile = before;
            if (cut.ok()) {
                ::SetFileInformationByHandle(cut.get(), FileEndOfFileInfo, &end, sizeof end);
            }
        }
        Fail("не удалось записать файл", path_, err);
    }

private:
    Handle h_;
    std::string path_;
    DWORD openError_;
    unsigned long long readAt_ = 0;
};

} // namespace

// The temporaries of this computer's writers: ".rvx-" HOST "-" PID "-" six characters, so that
// one whose writer has died can be told from one still being written.
std::string TemporaryPrefix() {
    static const std::string prefix = [] {
        wchar_t host[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        ::GetComputerNameW(host, &size);
        unsigned hash = 2166136261u; // FNV-1a of the computer's name, in six letters
        for (DWORD i = 0; i < size && host[i] != L'\0'; ++i) {
            hash = (hash ^ static_cast<unsigned>(host[i])) * 16777619u;
        }
        std::string text = ".rvx-";
        for (int i = 0; i < 6; ++i) {
            text += static_cast<char>('a' + hash % 26);
            hash /= 26;
        }
        return text + "-";
    }();
    return prefix;
}

ReplaceFileCall replaceFileCall = &::ReplaceFileW;

bool FileExists(const std::string& path) {
    DWORD err = 0;
    return KindOf(Utf16(path), err).empty() && err == 0;
}

std::string MissingFileMessage(const std::string& path) {
    DWORD err = 0;
    const std::string kind = KindOf(Utf16(path), err);
    if (!kind.empty()) {
        return Message("не удалось открыть файл", path, kind);
    }
    if (err != 0 && err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND &&
        err != ERROR_INVALID_NAME) {
        return Message("не удалось открыть файл", path, ErrorText(err));
    }
    return "Файл " + path + " не найден";
}

void ReadFileInto(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    const std::string what = "не удалось открыть файл";
    DWORD err = 0;
    const std::string kind = KindOf(Utf16(path), err);
    if (!kind.empty()) {
        throw FileIoError(Message(what, path, kind));
    }
    Handle h(::CreateFileW(Utf16(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.ok()) {
        Fail(what, path, ::GetLastError());
    }
    if (::GetFileType(h.get()) != FILE_TYPE_DISK) {
        throw FileIoError(
            Message(what, path, "является устройством или каналом, а не обычным файлом"));
    }
    bytes.clear();
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got >= limit) {
                break;
            }
            bytes.resize(std::min(limit, got + 65536));
        }
        DWORD r = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
        if (!::ReadFile(h.get(), bytes.data() + got, want, &r, nullptr)) {
            Fail("не удалось прочитать файл", path, ::GetLastError());
        }
        if (r == 0) {
            break;
        }
        got += r;
    }
    bytes.resize(got);
}

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string what = "не удалось записать файл";
    const std::string target = FinalTarget(path);
    const std::wstring wTarget = Utf16(target);
    DWORD err = 0;
    const std::string kind = KindOf(wTarget, err);
    if (!kind.empty()) {
        throw FileIoError(Message(what, path, kind));
    }
    const bool exists = err == 0;
    Handle writable;
    unsigned long long oldSize = 0;
    if (exists) {
        Handle h(::CreateFileW(wTarget.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (h.ok() && ::GetFileInformationByHandle(h.get(), &info)) {
            if (info.nNumberOfLinks > 1) {
                throw FileIoError(
                    Message(what, path, "у файла есть другие имена — жёсткие ссылки"));
            }
            // A read-only file is refused as writing it in place would be (also where the open
            // below would let it pass, as under wine run by root).
            if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
                Fail(what, path, ERROR_ACCESS_DENIED);
            }
            oldSize =
                (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        }
        writable = Handle(::CreateFileW(wTarget.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!writable.ok()) {
            Fail(what, path, ::GetLastError());
        }
    }
    std::string temp;
    Handle h = CreateTempIn(FolderOf(target), temp);
    if (!h.ok()) {
        const DWORD createErr = ::GetLastError();
        if (exists && createErr == ERROR_ACCESS_DENIED) {
            // A writable file in a folder the user may not write: written in place.
            WriteInPlace(writable.get(), bytes, oldSize, path);
            return;
        }
        Fail("не удалось создать файл", path, createErr);
    }
    writable = Handle(); // ReplaceFileW needs the old file free of this process's handles
    std::size_t written = 0;
    if (!WriteAll(h.get(), bytes.data(), bytes.size(), written) || !::FlushFileBuffers(h.get())) {
        const DWORD writeErr = ::GetLastError();
        DeleteOnClose(h.get());
        Fail(what, path, writeErr);
    }
    h = Handle();
    const std::wstring wTemp = Utf16(temp);
    // ReplaceFileW keeps the old file's security, attributes and creation time; a new file
    // takes those its folder gives.
    const BOOL moved = exists
                           ? replaceFileCall(wTarget.c_str(), wTemp.c_str(), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                           : ::MoveFileExW(wTemp.c_str(), wTarget.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!moved) {
        const DWORD moveErr = ::GetLastError();
        if (exists && (moveErr == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                       moveErr == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)) {
            MoveIntoPlaceAfterReplace(temp, target, path, moveErr);
            return;
        }
        ::DeleteFileW(wTemp.c_str());
        if (exists && moveErr == ERROR_ACCESS_DENIED) {
            // A file the user may write but not delete or replace: written in place.
            Handle again(::CreateFileW(wTarget.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (again.ok()) {
                WriteInPlace(again.get(), bytes, oldSize, path);
                return;
            }
        }
        Fail(what, path, moveErr);
    }
}

void CheckWriteTarget(const std::string& path) {
    const std::string what = "не удалось записать файл";
    const std::string target = FinalTarget(path);
    const std::wstring wTarget = Utf16(target);
    DWORD err = 0;
    const std::string kind = KindOf(wTarget, err);
    if (!kind.empty()) {
        throw FileIoError(Message(what, path, kind));
    }
    if (err == 0) {
        BY_HANDLE_FILE_INFORMATION info{};
        Handle h(::CreateFileW(wTarget.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok()) {
            Fail(what, path, ::GetLastError());
        }
        if (::GetFileInformationByHandle(h.get(), &info)) {
            if (info.nNumberOfLinks > 1) {
                throw FileIoError(
                    Message(what, path, "у файла есть другие имена — жёсткие ссылки"));
            }
            if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
                Fail(what, path, ERROR_ACCESS_DENIED);
            }
        }
        return;
    }
    if (err != ERROR_FILE_NOT_FOUND) {
        Fail(what, path, err); // a missing folder, a name too long or not allowed
    }
    std::string temp;
    Handle h = CreateTempIn(FolderOf(target), temp);
    if (!h.ok()) {
        Fail("не удалось создать файл", path, ::GetLastError());
    }
    DeleteOnClose(h.get());
}

bool CreateFileExclusive(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string what = "не удалось создать файл";
    // No sharing while it is filled: appenders wait until it is whole.
    Handle h(::CreateFileW(Utf16(FinalTarget(path)).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.ok()) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) {
            return false;
        }
        Fail(what, path, err);
    }
    std::size_t written = 0;
    if (!WriteAll(h.get(), bytes.data(), bytes.size(), written) || !::FlushFileBuffers(h.get())) {
        const DWORD err = ::GetLastError();
        DeleteOnClose(h.get());
        Fail(what, path, err);
    }
    return true;
}

std::unique_ptr<LockedAppendFile> LockedAppendFile::Open(const std::string& path,
                                                         const LockNotice& notice) {
    const std::string what = "не удалось открыть файл";
    const std::wstring w = Utf16(FinalTarget(path));
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
        DWORD openError = 0;
        Handle h(::CreateFileW(w.c_str(), GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok() && ::GetLastError() == ERROR_ACCESS_DENIED) {
            openError = ERROR_ACCESS_DENIED;
            h = Handle(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        }
        if (!h.ok()) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_FILE_NOT_FOUND) {
                return nullptr;
            }
            if (err == ERROR_SHARING_VIOLATION) {
                ::Sleep(10); // being created by another program
                continue;
            }
            DWORD kindErr = 0;
            const std::string kind = KindOf(w, kindErr);
            if (!kind.empty()) {
                throw FileIoError(Message(what, path, kind));
            }
            Fail(what, path, err);
        }
        if (::GetFileType(h.get()) != FILE_TYPE_DISK) {
            throw FileIoError(
                Message(what, path, "является устройством или каналом, а не обычным файлом"));
        }
        // A read-only file takes no rows, also where the open let it pass (wine run by root).
        BY_HANDLE_FILE_INFORMATION info{};
        if (openError == 0 && ::GetFileInformationByHandle(h.get(), &info) &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            openError = ERROR_ACCESS_DENIED;
        }
        // At once when it is free; otherwise said after kLockNoticeMs, then waited for.
        const ULONGLONG since = ::GetTickCount64();
        for (;;) {
            OVERLAPPED at = WinLockedAppendFile::LockPlace();
            const DWORD flags =
                LOCKFILE_EXCLUSIVE_LOCK | (notice.call ? LOCKFILE_FAIL_IMMEDIATELY : 0);
            if (::LockFileEx(h.get(), flags, 0, 1, 0, &at)) {
                break;
            }
            const DWORD err = ::GetLastError();
            if (!notice.call || err != ERROR_LOCK_VIOLATION) {
                Fail(what, path, err);
            }
            if (::GetTickCount64() - since >= static_cast<ULONGLONG>(notice.afterMs)) {
                notice.call();
                OVERLAPPED rest = WinLockedAppendFile::LockPlace();
                if (!::LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &rest)) {
                    Fail(what, path, ::GetLastError());
                }
                break;
            }
            ::Sleep(20);
        }
        return std::make_unique<WinLockedAppendFile>(h.release(), path, openError);
    }
    Fail(what, path, ERROR_SHARING_VIOLATION);
}

std::int64_t FileModificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data)) {
        Fail("не удалось прочитать сведения о файле", path, ::GetLastError());
    }
    ULARGE_INTEGER t{};
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // 100-ns steps since 1601 to seconds since 1970.
    return static_cast<std::int64_t>(t.QuadPart / 10000000ULL) - 11644473600LL;
}

} // namespace hrv
