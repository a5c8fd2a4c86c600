// The one place where the program reads and writes whole files.
#include "files/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#ifdef _WIN32

#include <windows.h>

namespace hrv {

namespace {

// Attempts at a table another program is creating (it holds it exclusively for a moment).
constexpr int kMaxRetries = 1000;

std::wstring Wide(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), w.data(), n);
    return w;
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) {
        return {};
    }
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr,
                                        0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                          nullptr);
    return s;
}

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
    Handle h(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
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

// A new file with a short unused name in `folder`, opened for writing.
Handle CreateTempIn(const std::string& folder, std::string& tempPath) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long v = ::GetTickCount64() * 6364136223846793005ULL + ::GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".rvx-";
        for (int i = 0; i < 6; ++i) {
            name += kChars[v % 36];
            v /= 36;
        }
        v = v * 6364136223846793005ULL + 1442695040888963407ULL + attempt;
        tempPath = folder + "\\" + name;
        Handle h(::CreateFileW(Wide(tempPath).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h.ok() || ::GetLastError() != ERROR_FILE_EXISTS) {
            return h;
        }
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return Handle();
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
            Handle cut(::CreateFileW(Wide(path_).c_str(), GENERIC_WRITE, kShareAll, nullptr,
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

bool FileExists(const std::string& path) {
    DWORD err = 0;
    return KindOf(Wide(path), err).empty() && err == 0;
}

std::string MissingFileMessage(const std::string& path) {
    DWORD err = 0;
    const std::string kind = KindOf(Wide(path), err);
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
    const std::string kind = KindOf(Wide(path), err);
    if (!kind.empty()) {
        throw FileIoError(Message(what, path, kind));
    }
    Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
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
    const std::wstring wTarget = Wide(target);
    DWORD err = 0;
    const std::string kind = KindOf(wTarget, err);
    if (!kind.empty()) {
        throw FileIoError(Message(what, path, kind));
    }
    const bool exists = err == 0;
    if (exists) {
        Handle h(::CreateFileW(wTarget.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (h.ok() && ::GetFileInformationByHandle(h.get(), &info) && info.nNumberOfLinks > 1) {
            throw FileIoError(Message(what, path, "у файла есть другие имена — жёсткие ссылки"));
        }
    }
    std::string temp;
    Handle h = CreateTempIn(FolderOf(target), temp);
    if (!h.ok()) {
        Fail("не удалось создать файл", path, ::GetLastError());
    }
    std::size_t written = 0;
    if (!WriteAll(h.get(), bytes.data(), bytes.size(), written) || !::FlushFileBuffers(h.get())) {
        const DWORD writeErr = ::GetLastError();
        DeleteOnClose(h.get());
        Fail(what, path, writeErr);
    }
    h = Handle();
    const std::wstring wTemp = Wide(temp);
    // ReplaceFileW keeps the old file's security, attributes and creation time; a new file
    // takes those its folder gives.
    const BOOL moved = exists
                           ? ::ReplaceFileW(wTarget.c_str(), wTemp.c_str(), nullptr,
                                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                           : ::MoveFileExW(wTemp.c_str(), wTarget.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!moved) {
        const DWORD moveErr = ::GetLastError();
        ::DeleteFileW(wTemp.c_str());
        Fail(what, path, moveErr);
    }
}

bool CreateFileExclusive(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string what = "не удалось создать файл";
    // No sharing while it is filled: appenders wait until it is whole.
    Handle h(::CreateFileW(Wide(FinalTarget(path)).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
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

std::unique_ptr<LockedAppendFile> LockedAppendFile::Open(const std::string& path) {
    const std::string what = "не удалось открыть файл";
    const std::wstring w = Wide(FinalTarget(path));
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
        OVERLAPPED at = WinLockedAppendFile::LockPlace();
        if (!::LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
            Fail(what, path, ::GetLastError());
        }
        return std::make_unique<WinLockedAppendFile>(h.release(), path, openError);
    }
    Fail(what, path, ERROR_SHARING_VIOLATION);
}

std::int64_t FileModificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        Fail("не удалось прочитать сведения о файле", path, ::GetLastError());
    }
    ULARGE_INTEGER t{};
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // 100-ns steps since 1601 to seconds since 1970.
    return static_cast<std::int64_t>(t.QuadPart / 10000000ULL) - 11644473600LL;
}

} // namespace hrv

#else

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hrv {

namespace {

// Symbolic links followed before giving up, as the kernel does.
constexpr int kMaxLinkHops = 40;
// Attempts at a file that is replaced or removed while it is being opened and locked.
constexpr int kMaxRetries = 100;

std::string Message(const std::string& what, const std::string& path, const std::string& reason) {
    return "Ошибка ввода-вывода: " + what + " " + path + " (" + reason + ")";
}

std::string ErrorText(int err) {
    if (err == ENAMETOOLONG) {
        return "слишком длинное имя файла";
    }
    return std::strerror(err);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
    throw FileIoError(Message(what, path, ErrorText(err)));
}

// What a path that is not a regular file is, for the messages.
std::string KindText(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "является каталогом";
    }
    if (S_ISFIFO(mode)) {
        return "является каналом FIFO, а не обычным файлом";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "является устройством, а не обычным файлом";
    }
    if (S_ISSOCK(mode)) {
        return "является сокетом, а не обычным файлом";
    }
    return "не является обычным файлом";
}

[[noreturn]] void FailKind(const std::string& what, const std::string& path, mode_t mode) {
    throw FileIoError(Message(what, path, KindText(mode)));
}

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Fd old(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Writes all of [p, p + n); on failure `written` says how much went out and errno why.
bool WriteAll(int fd, const std::uint8_t* p, std::size_t n, std::size_t& written) {
    written = 0;
    while (written < n) {
        const ssize_t w = ::write(fd, p + written, n - written);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(w);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a write to `path` ends at: symbolic links followed to their last target, which need
// not exist yet. Throws FileIoError for a loop of links.
std::string FinalTarget(const std::string& path) {
    std::string p = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return p;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        for (;;) {
            const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
            if (n < 0) {
                return p; // gone meanwhile: the later steps report what is there
            }
            if (static_cast<std::size_t>(n) < link.size()) {
                link.resize(static_cast<std::size_t>(n));
                break;
            }
            link.resize(link.size() * 2);
        }
        p = !link.empty() && link[0] == '/' ? link : FolderOf(p) + "/" + link;
    }
    Fail("не удалось записать файл", path, ELOOP);
}

// A new file with a short unused name (".rvx-" and six characters, so any name the folder takes
// leaves room for it) in `folder`, created with `mode` less the umask.
Fd CreateTempIn(const std::string& folder, mode_t mode, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
        unsigned long long v = seed * 6364136223846793005ULL + ::getpid() * 1442695040888963407ULL +
                               counter.fetch_add(1) * 2862933555777941757ULL;
        std::string name = ".rvx-";
        for (int i = 0; i < 6; ++i) {
            name += kChars[v % 62];
            v /= 62;
        }
        tempPath = folder + "/" + name;
        const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            return Fd(fd);
        }
        if (errno != EEXIST) {
            return Fd();
        }
    }
    errno = EEXIST;
    return Fd();
}

// Opens a path that must be a regular file: a folder, FIFO or device is refused before it is
// opened, and the descriptor is checked again against one put in its place meanwhile.
Fd OpenRegular(const std::string& path, int flags, const std::string& what) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return Fd();
    }
    if (!S_ISREG(st.st_mode)) {
        FailKind(what, path, st.st_mode);
    }
    Fd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        return fd;
    }
    if (::fstat(fd.get(), &st) != 0) {
        Fail(what, path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        FailKind(what, path, st.st_mode);
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class PosixLockedAppendFile final : public LockedAppendFile {
public:
    PosixLockedAppendFile(int fd, std::string path, int openError)
        : fd_(fd), path_(std::move(path)), openError_(openError) {}

    std::size_t Read(std::span<std::uint8_t> buffer) override {
        for (;;) {
            const ssize_t r = ::pread(fd_.get(), buffer.data(), buffer.size(), readAt_);
            if (r >= 0) {
                readAt_ += r;
                return static_cast<std::size_t>(r);
            }
            if (errno != EINTR) {
                Fail("не удалось прочитать файл", path_, errno);
            }
        }
    }

    void Append(std::span<const std::uint8_t> bytes) override {
        if (openError_ != 0) {
            Fail("не удалось записать файл", path_, openError_);
        }
        struct stat before {};
        if (::fstat(fd_.get(), &before) != 0) {
            Fail("не удалось записать файл", path_, errno);
        }
        std::size_t written = 0;
        if (WriteAll(fd_.get(), bytes.data(), bytes.size(), written) && ::fsync(fd_.get()) == 0) {
            return;
        }
        const int err = errno;
        // Take back only our own bytes: when the file has grown by more (a writer that does not
        // take the lock), cutting it would delete what that writer finished.
        struct stat after {};
        if (written > 0 && ::fstat(fd_.get(), &after) == 0 &&
            after.st_size == before.st_size + static_cast<off_t>(written)) {
            if (::ftruncate(fd_.get(), before.st_size) != 0) {
                // An append-only file keeps them; the write error is what the user must see.
            }
        }
        Fail("не удалось записать файл", path_, err);
    }

private:
    Fd fd_;
    std::string path_;
    int openError_; // why the file could not be opened for writing, 0 when it could
    off_t readAt_ = 0;
};

} // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string MissingFileMessage(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return "Файл " + path + " не найден";
        }
        return Message("не удалось открыть файл", path, ErrorText(errno));
    }
    if (S_ISREG(st.st_mode)) {
        return "Файл " + path + " не найден"; // it appeared meanwhile
    }
    return Message("не удалось открыть файл", path, KindText(st.st_mode));
}

void ReadFileInto(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    Fd fd = OpenRegular(path, O_RDONLY, "не удалось открыть файл");
    if (fd.get() < 0) {
        Fail("не удалось открыть файл", path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        Fail("не удалось прочитать файл", path, errno);
    }
    // resize() within the capacity allocates nothing: a buffer used for every open grows to the
    // largest file once.
    const auto expected = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0);
    bytes.resize(std::min(expected, limit));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got >= limit) {
                break;
            }
            // The file may have grown since its size was taken: read on in steps.
            bytes.resize(std::min(limit, got + 65536));
        }
        const ssize_t r = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail("не удалось прочитать файл", path, errno);
        }
        if (r == 0) {
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    bytes.resize(got);
}

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string what = "не удалось записать файл";
    const std::string target = FinalTarget(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        Fail(what, path, errno);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        FailKind(what, path, old.st_mode);
    }
    if (exists && old.st_nlink > 1) {
        // Renaming over it would leave the other names with the old contents; writing in place
        // would lose both on a failure. Neither is done.
        throw FileIoError(Message(what, path, "у файла есть другие имена — жёсткие ссылки"));
    }
    std::string temp;
    Fd fd = CreateTempIn(FolderOf(target), exists ? (old.st_mode & 07777) : 0666, temp);
    if (fd.get() < 0) {
        Fail("не удалось создать файл", path, errno);
    }
    if (exists) {
        // The owner first: changing it may clear the set-id bits the mode then restores.
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; the file is then the writer's own.
        }
        ::fchmod(fd.get(), old.st_mode & 07777);
    }
    std::size_t written = 0;
    const bool ok =
        WriteAll(fd.get(), bytes.data(), bytes.size(), written) && ::fsync(fd.get()) == 0;
    const int err = errno;
    if (!ok || ::close(fd.release()) != 0) {
        const int closeErr = ok ? errno : err;
        ::unlink(temp.c_str());
        Fail(what, path, closeErr);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int renameErr = errno;
        ::unlink(temp.c_str());
        Fail(what, path, renameErr);
    }
    // The new name survives a crash as well (best effort: not every file system allows it).
    const Fd folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
}

bool CreateFileExclusive(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string what = "не удалось создать файл";
    const std::string target = FinalTarget(path);
    std::string temp;
    Fd fd = CreateTempIn(FolderOf(target), 0666, temp);
    if (fd.get() < 0) {
        Fail(what, path, errno);
    }
    std::size_t written = 0;
    if (!WriteAll(fd.get(), bytes.data(), bytes.size(), written) || ::fsync(fd.get()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        Fail(what, path, err);
    }
    // A hard link puts the finished file in place only when the name is free: unlike a rename
    // it never replaces a table others have created and appended to meanwhile.
    if (::link(temp.c_str(), target.c_str()) == 0) {
        ::unlink(temp.c_str());
        return true;
    }
    const int linkErr = errno;
    ::unlink(temp.c_str());
    if (linkErr == EEXIST) {
        return false;
    }
    if (linkErr != EPERM && linkErr != ENOTSUP && linkErr != EOPNOTSUPP && linkErr != ENOSYS &&
        linkErr != EMLINK) {
        Fail(what, path, linkErr);
    }
    // A file system without hard links: create the name and fill it under the appenders' lock.
    Fd direct(::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (direct.get() < 0) {
        if (errno == EEXIST) {
            return false;
        }
        Fail(what, path, errno);
    }
    ::flock(direct.get(), LOCK_EX);
    if (!WriteAll(direct.get(), bytes.data(), bytes.size(), written) ||
        ::fsync(direct.get()) != 0) {
        const int err = errno;
        ::unlink(target.c_str()); // appenders waiting for the lock see the name gone and retry
        Fail(what, path, err);
    }
    return true;
}

std::unique_ptr<LockedAppendFile> LockedAppendFile::Open(const std::string& path) {
    const std::string what = "не удалось открыть файл";
    const std::string target = FinalTarget(path);
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
        int openError = 0;
        Fd fd = OpenRegular(target, O_RDWR | O_APPEND, what);
        if (fd.get() < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            // Read-only: the duplicate test can still be made; the append then says why not.
            openError = errno;
            fd = OpenRegular(target, O_RDONLY, what);
        }
        if (fd.get() < 0) {
            if (errno == ENOENT) {
                return nullptr;
            }
            Fail(what, path, errno);
        }
        int locked;
        do {
            locked = ::flock(fd.get(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != ENOSYS) {
            Fail(what, path, errno);
        }
        // The lock is on what was opened: a file removed or replaced before it was granted (a
        // creation that failed) is not the table any more.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd.get(), &held) != 0) {
            Fail(what, path, errno);
        }
        if (::stat(target.c_str(), &named) == 0 && SameFile(held, named)) {
            return std::make_unique<PosixLockedAppendFile>(fd.release(), path, openError);
        }
    }
    Fail(what, path, EAGAIN);
}

std::int64_t FileModificationTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Fail("не удалось прочитать сведения о файле", path, errno);
    }
    return static_cast<std::int64_t>(st.st_mtime);
}

} // namespace hrv

#endif

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
