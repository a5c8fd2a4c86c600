// The file layer on POSIX systems: whole-file reads and safe writes with the system calls.
#include "files/file_io.h"
#include "files/temporary_name.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

} // namespace

// The temporaries of this host's writers: ".rvx-" HOST "-" PID "-" six characters, so that a
// temporary whose writer has died can be told from one still being written.
std::string TemporaryPrefix() {
    static const std::string prefix = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        unsigned hash = 2166136261u; // FNV-1a of the host name, in six letters
        for (const char* p = host; *p != '\0'; ++p) {
            hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
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

namespace {

// Age after which a temporary that cannot be locked here (another user's, a file system without
// locks) is taken for a dead writer's when its pid is not running.
constexpr int kStaleSeconds = 60;

// Removes the temporaries that writers of this host left in `folder` when they were killed
// between creating them and putting them in place (best effort). A writer holds its temporary
// locked until it is in place; the lock, not the pid, tells a live one, since a writer in another
// pid namespace (a flatpak sandbox, a container) has a pid that means nothing here.
void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::string prefix = TemporaryPrefix();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix)) {
            continue;
        }
        const std::string_view rest = name.substr(prefix.size());
        long long pid = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (ec != std::errc() || end == rest.data() || *end != '-' || pid <= 0 ||
            pid == ::getpid()) {
            continue;
        }
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;
        }
        const Fd held(
            ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (held.get() >= 0 && ::flock(held.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
            continue;
        }
        if (held.get() >= 0 && errno == EWOULDBLOCK) {
            continue; // its writer is still at work
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(st.st_mtime) >
                std::chrono::seconds(kStaleSeconds)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// A new file with an unused name (TemporaryPrefix, this process's id and six characters) in
// `folder`, created with `mode` less the umask.
Fd CreateTempIn(const std::string& folder, mode_t mode, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
        unsigned long long v = seed * 6364136223846793005ULL + ::getpid() * 1442695040888963407ULL +
                               counter.fetch_add(1) * 2862933555777941757ULL;
        std::string name = TemporaryPrefix() + std::to_string(::getpid()) + "-";
        for (int i = 0; i < 6; ++i) {
            name += kChars[v % 62];
            v /= 62;
        }
        tempPath = folder + "/" + name;
        const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX); // held until it is in place (RemoveStaleTemporaries)
            return Fd(fd);
        }
        if (errno != EEXIST) {
            return Fd();
        }
    }
    errno = EEXIST;
    return Fd();
}

// A file being written before it is put in place: unnamed (O_TMPFILE) where the file system
// allows it, so a writer killed meanwhile leaves nothing; otherwise a named temporary, which
// RemoveStaleTemporaries takes away after a writer's death.
class Temporary {
public:
    // Creates it in `folder` with `mode` less the umask; false, with errno, when it cannot be.
    bool Create(const std::string& folder, mode_t mode) {
        folder_ = folder;
        RemoveStaleTemporaries(folder);
#ifdef O_TMPFILE
        // Linked later through /proc, which an unprivileged process may do.
        static const bool procFds = ::access("/proc/self/fd", X_OK) == 0;
        if (procFds) {
            fd_ = Fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
            if (fd_.get() >= 0) {
                ::flock(fd_.get(), LOCK_EX); // for the name it may be given before its own
                return true;
            }
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                return false; // the folder's own failure (no permission, a read-only disk, ...)
            }
        }
#endif
        fd_ = CreateTempIn(folder, mode, path_);
        return fd_.get() >= 0;
    }
    int fd() const {
        return fd_.get();
    }
    // Closes the descriptor; false, with errno, when that reports a failed write.
    bool Close() {
        return ::close(fd_.release()) == 0;
    }

    // Gives the finished file the name `target` only when nothing is there (false, errno
    // EEXIST, otherwise), or (`replace`) in place of what is there. The descriptor must still be
    // open for an unnamed file.
    bool PutInPlace(const std::string& target, bool replace) {
        if (path_.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
            if (!replace) {
                // Linked straight to its name: nothing is ever seen part-written or left over.
                return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(),
                                AT_SYMLINK_FOLLOW) == 0;
            }
            // A name of its own first (a link cannot replace a file), then renamed over.
            std::string named;
            for (int attempt = 0; attempt < kMaxRetries && path_.empty(); ++attempt) {
                Fd probe = CreateTempIn(folder_, 0600, named);
                if (probe.get() < 0) {
                    return false;
                }
                ::unlink(named.c_str()); // only its unused name was wanted
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) ==
                    0) {
                    path_ = named;
                } else if (errno != EEXIST) {
                    return false;
                }
            }
            if (path_.empty()) {
                errno = EEXIST;
                return false;
            }
        }
        if (replace) {
            if (::rename(path_.c_str(), target.c_str()) != 0) {
                return false;
            }
            path_.clear();
            return true;
        }
        // A hard link puts the file in place only when the name is free: unlike a rename it
        // never replaces a table others have created and appended to meanwhile.
        if (::link(path_.c_str(), target.c_str()) != 0) {
            return false;
        }
        Discard();
        return true;
    }
    // Removes a named temporary (an unnamed one goes with its descriptor).
    void Discard() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
            path_.clear();
        }
    }
    ~Temporary() {
        Discard();
    }

private:
    std::string folder_;
    std::string path_; // empty while unnamed
    Fd fd_;
};

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

// Writes `bytes` over the file open on `fd` (of `oldSize` bytes) where no temporary can be made
// beside it. The new bytes beyond the old size go first, so a full disk is met before anything
// old is overwritten; a failure afterwards puts the old bytes back where they could be read.
void WriteInPlace(int fd, std::span<const std::uint8_t> bytes, std::size_t oldSize,
                  const std::string& path) {
    const std::string what = "не удалось записать файл";
    std::vector<std::uint8_t> backup(oldSize);
    std::size_t got = 0;
    while (got < oldSize) {
        const ssize_t r = ::pread(fd, backup.data() + got, oldSize - got, static_cast<off_t>(got));
        if (r <= 0) {
            if (r < 0 && errno == EINTR) {
                continue;
            }
            break; // write-only, or shorter meanwhile: what was read is what can be restored
        }
        got += static_cast<std::size_t>(r);
    }
    backup.resize(got);
    const auto writeAt = [fd](const std::uint8_t* p, std::size_t n, std::size_t at) {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::pwrite(fd, p + done, n - done, static_cast<off_t>(at + done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            done += static_cast<std::size_t>(w);
        }
        return true;
    };
    const std::size_t head = std::min(bytes.size(), oldSize);
    if (bytes.size() > oldSize &&
        (!writeAt(bytes.data() + oldSize, bytes.size() - oldSize, oldSize) || ::fsync(fd) != 0)) {
        const int err = errno;
        if (::ftruncate(fd, static_cast<off_t>(oldSize)) != 0) {
            // The old bytes are untouched; only the tail may stay.
        }
        Fail(what, path, err);
    }
    if (!writeAt(bytes.data(), head, 0) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
        ::fsync(fd) != 0) {
        const int err = errno;
        if (got == oldSize && writeAt(backup.data(), backup.size(), 0) &&
            ::ftruncate(fd, static_cast<off_t>(oldSize)) == 0) {
            ::fsync(fd);
        }
        Fail(what, path, err);
    }
}

// Takes the exclusive lock on `fd`, waiting as long as another program holds it; the notice is
// given once (`notified` remembers it across attempts) when the lock has not come within its
// time. Returns flock's result.
int LockWaiting(int fd, const LockNotice& notice, bool& notified) {
    const auto since = std::chrono::steady_clock::now();
    for (;;) {
        const bool blocking = notified || !notice.call;
        const int locked = ::flock(fd, LOCK_EX | (blocking ? 0 : LOCK_NB));
        if (locked == 0 || (errno != EINTR && errno != EWOULDBLOCK)) {
            return locked;
        }
        if (errno == EWOULDBLOCK) {
            if (std::chrono::steady_clock::now() - since >=
                std::chrono::milliseconds(notice.afterMs)) {
                notified = true;
                notice.call(); // then waits without a limit
            } else {
                ::usleep(20000);
            }
        }
    }
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

namespace {

// What a write to `path` would replace: its final target, whether a file is there and its
// status, and the file opened for writing. Throws the write's FileIoError for what it refuses.
struct WriteTarget {
    std::string target;
    bool exists = false;
    struct stat old {};
    Fd writable; // the existing file, open for writing (and reading where it may be read)
};

WriteTarget OpenWriteTarget(const std::string& path) {
    const std::string what = "не удалось записать файл";
    WriteTarget t;
    t.target = FinalTarget(path);
    t.exists = ::stat(t.target.c_str(), &t.old) == 0;
    if (!t.exists && errno != ENOENT) {
        Fail(what, path, errno);
    }
    if (!t.exists) {
        return t;
    }
    if (!S_ISREG(t.old.st_mode)) {
        FailKind(what, path, t.old.st_mode);
    }
    if (t.old.st_nlink > 1) {
        // Renaming over it would leave the other names with the old contents; writing in place
        // would lose both on a failure. Neither is done.
        throw FileIoError(Message(what, path, "у файла есть другие имена — жёсткие ссылки"));
    }
    // A file the user may not write (mode 444, a read-only disk) is refused as writing it in
    // place would be, although the folder would let a new file take its name.
    t.writable = Fd(::open(t.target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (t.writable.get() < 0 && errno == EACCES) {
        t.writable = Fd(::open(t.target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
    if (t.writable.get() < 0) {
        Fail(what, path, errno);
    }
    return t;
}

} // namespace

void CheckWriteTarget(const std::string& path) {
    const WriteTarget t = OpenWriteTarget(path);
    if (t.exists) {
        return; // replaced through a temporary, or written in place where none can be made
    }
    Temporary temp;
    if (!temp.Create(FolderOf(t.target), 0600)) {
        Fail("не удалось создать файл", path, errno);
    }
}

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string what = "не удалось записать файл";
    WriteTarget t = OpenWriteTarget(path);
    const std::string& target = t.target;
    const bool exists = t.exists;
    const struct stat& old = t.old;
    Fd& writable = t.writable;
    Temporary temp;
    if (!temp.Create(FolderOf(target), exists ? (old.st_mode & 07777) : 0666)) {
        const int err = errno;
        if (exists && (err == EACCES || err == EPERM)) {
            // A writable file in a folder the user may not write: written in place.
            WriteInPlace(writable.get(), bytes, static_cast<std::size_t>(old.st_size), path);
            return;
        }
        Fail("не удалось создать файл", path, err);
    }
    if (exists) {
        // The owner first: changing it may clear the set-id bits the mode then restores.
        if (::fchown(temp.fd(), old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; others may give it a group of their own.
        }
        struct stat made {};
        if (::fstat(temp.fd(), &made) != 0 || made.st_uid != old.st_uid ||
            made.st_gid != old.st_gid) {
            // Another user's file (a group's): a new one in its place would be the writer's,
            // the owner might lose it. Written in place, it stays the owner's.
            temp.Discard();
            WriteInPlace(writable.get(), bytes, static_cast<std::size_t>(old.st_size), path);
            return;
        }
        ::fchmod(temp.fd(), old.st_mode & 07777);
    }
    std::size_t written = 0;
    if (!WriteAll(temp.fd(), bytes.data(), bytes.size(), written) || ::fsync(temp.fd()) != 0) {
        Fail(what, path, errno);
    }
    if (!temp.PutInPlace(target, true)) {
        const int err = errno;
        if (exists && (err == EPERM || err == EACCES)) {
            // Another user's writable file in a folder with the sticky bit (/tmp): it may be
            // written, not replaced.
            temp.Discard();
            WriteInPlace(writable.get(), bytes, static_cast<std::size_t>(old.st_size), path);
            return;
        }
        Fail(what, path, err);
    }
    if (!temp.Close()) {
        // The data went out with the fsync above: a late close error changes nothing.
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
    Temporary temp;
    if (!temp.Create(FolderOf(target), 0666)) {
        Fail(what, path, errno);
    }
    std::size_t written = 0;
    if (!WriteAll(temp.fd(), bytes.data(), bytes.size(), written) || ::fsync(temp.fd()) != 0) {
        Fail(what, path, errno);
    }
    // Put in place only when the name is free: never over a table others have created and
    // appended to meanwhile.
    if (temp.PutInPlace(target, false)) {
        return true;
    }
    const int linkErr = errno;
    temp.Discard();
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

std::unique_ptr<LockedAppendFile> LockedAppendFile::Open(const std::string& path,
                                                         const LockNotice& notice) {
    const std::string what = "не удалось открыть файл";
    const std::string target = FinalTarget(path);
    bool notified = false;
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
        int locked = LockWaiting(fd.get(), notice, notified);
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
