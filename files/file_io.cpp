// The one place where the program reads and writes whole files.
#include "files/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hrv {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
    throw FileIoError("Ошибка ввода-вывода: " + what + " " + path + " (" + std::strerror(err) +
                      ")");
}

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

} // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t limit) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        Fail("не удалось открыть файл", path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        Fail("не удалось прочитать файл", path, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        Fail("не удалось прочитать файл", path, EISDIR);
    }
    std::vector<std::uint8_t> bytes;
    const auto expected = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0);
    bytes.resize(std::min(expected, limit));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got >= limit) {
                break;
            }
            // The file may be longer than its size said (or a device): read on in steps.
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
    return bytes;
}

void ReadFileInto(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& buffer) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        Fail("не удалось открыть файл", path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        Fail("не удалось прочитать файл", path, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        Fail("не удалось прочитать файл", path, EISDIR);
    }
    // resize() within the capacity allocates nothing: a buffer used for every open grows to the
    // largest file once.
    const auto expected = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0);
    buffer.resize(std::min(expected, limit));
    std::size_t got = 0;
    for (;;) {
        if (got == buffer.size()) {
            if (got >= limit) {
                break;
            }
            // The file may be longer than its size said (or a device): read on in steps.
            buffer.resize(std::min(limit, got + 65536));
        }
        const ssize_t r = ::read(fd.get(), buffer.data() + got, buffer.size() - got);
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
    buffer.resize(got);
}

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string temp = path + ".tmpXXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) {
        Fail("не удалось создать файл", path, errno);
    }
    ::fchmod(fd.get(), 0644);
    const bool ok = WriteAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    const int err = errno;
    const int raw = fd.release();
    if (!ok || ::close(raw) != 0) {
        ::unlink(temp.c_str());
        Fail("не удалось записать файл", path, ok ? errno : err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int renameErr = errno;
        ::unlink(temp.c_str());
        Fail("не удалось записать файл", path, renameErr);
    }
}

void AppendFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        Fail("не удалось открыть файл", path, errno);
    }
    const off_t before = ::lseek(fd.get(), 0, SEEK_END);
    if (before < 0) {
        Fail("не удалось записать файл", path, errno);
    }
    if (!WriteAll(fd.get(), bytes.data(), bytes.size()) || ::fsync(fd.get()) != 0) {
        const int err = errno;
        // Never leave a partial record behind.
        if (::ftruncate(fd.get(), before) != 0) {
            // Nothing more can be done; the write error is what the user must see.
        }
        Fail("не удалось записать файл", path, err);
    }
    if (::close(fd.release()) != 0) {
        Fail("не удалось записать файл", path, errno);
    }
}

std::int64_t FileModificationTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Fail("не удалось прочитать сведения о файле", path, errno);
    }
    return static_cast<std::int64_t>(st.st_mtime);
}

} // namespace hrv
