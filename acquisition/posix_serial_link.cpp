// The serial link over termios. The port is held exclusively twice over: TIOCEXCL refuses other
// opens of the terminal (except by root), and an flock() refuses a second link of any user.
#include "acquisition/posix_serial_link.h"

#include "acquisition/platform_serial_link.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace hrv {

namespace {

speed_t SpeedOf(std::uint32_t baud) {
    switch (baud) {
    case 600:
        return B600;
    case 2400:
        return B2400;
    case 19200:
        return B19200;
    default:
        return B38400;
    }
}

// The device and the reason, for ComError's detail.
std::string Detail(const std::string& path, const char* reason) {
    return path + " (" + reason + ")";
}

} // namespace

PosixSerialLink::~PosixSerialLink() {
    ComClose();
}

void PosixSerialLink::ComOpen(std::uint8_t portIndex) {
    if (portIndex == kUsbPortIndex) {
        return; // the USB recorder is not served by this link
    }
    if (portIndex > kUsbPortIndex) {
        throw ComError(); // no such port; nothing is closed or opened
    }
    ComClose();
    const std::string path = PortDevicePath(portIndex);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw ComError(Detail(path, std::strerror(errno)));
    }
    // A terminal, and nobody else's: the flock holds off a second link even for root, whom
    // TIOCEXCL does not stop.
    const char* refused = nullptr;
    if (::isatty(fd) == 0) {
        refused = "не является терминалом";
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        refused = errno == EWOULDBLOCK || errno == EBUSY ? "порт занят другой программой"
                                                         : std::strerror(errno);
    }
    if (refused != nullptr) {
        ::close(fd);
        throw ComError(Detail(path, refused));
    }
    // Whatever reached the terminal before this open is not part of the recording.
    ::tcflush(fd, TCIFLUSH);
    fd_ = fd;
    path_ = path;
    opened_ = true;
}

void PosixSerialLink::ComSetState(std::int32_t baudIndex) {
    if (baudIndex < 0 || baudIndex >= kBaudCount) {
        throw ComError();
    }
    if (!opened_) {
        throw ComError();
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        throw ComError();
    }
    ::cfmakeraw(&t); // binary: no line editing, no character translation, no echo
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP);
    t.c_iflag |= IGNBRK;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL | CRTSCTS; // 8N1, receiver on, no carrier wait, RTS/CTS
    t.c_cc[VMIN] = 0;                            // reads are bounded by poll() instead
    t.c_cc[VTIME] = 0;
    const speed_t speed = SpeedOf(kComBaudRates[static_cast<std::size_t>(baudIndex)]);
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
        ::tcsetattr(fd_, TCSANOW, &t) != 0) {
        throw ComError(Detail(path_, std::strerror(errno)));
    }
    // DTR held off. A pseudo-terminal has no modem lines and answers ENOTTY or EINVAL: accepted.
    int dtr = TIOCM_DTR;
    if (::ioctl(fd_, TIOCMBIC, &dtr) != 0 && errno != ENOTTY && errno != EINVAL) {
        throw ComError();
    }
}

void PosixSerialLink::ComSetQueues(std::int32_t inputBytes, std::int32_t outputBytes) {
    if (inputBytes < 0 || outputBytes < 0 || !opened_) {
        throw ComError();
    }
    // The terminal driver's own buffers (4 KB and more) are never smaller than the recording's
    // 1024 bytes and cannot be sized from here.
}

void PosixSerialLink::ComSetTimeouts() {
    if (!opened_) {
        throw ComError();
    }
    // The time-outs are those of ComReadByte, fixed.
}

std::optional<std::uint8_t> PosixSerialLink::ComReadByte() {
    if (!opened_) {
        return std::nullopt;
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, kReadByteTimeoutMs);
    if (ready < 0) {
        if (errno != EINTR) {
            ComClose(); // the descriptor itself is unusable
        }
        return std::nullopt; // an interrupted wait is a time-out
    }
    if (ready == 0) {
        return std::nullopt; // time-out
    }
    if ((p.revents & POLLIN) == 0) {
        ComClose(); // POLLHUP, POLLERR or POLLNVAL alone: the device is gone
        return std::nullopt;
    }
    std::uint8_t byte = 0;
    const ssize_t got = ::read(fd_, &byte, 1);
    if (got == 1) {
        return byte;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return std::nullopt;
    }
    // EIO and the like, or nothing although poll() said there was: a hung-up terminal reads 0.
    // Without a hang-up an empty read is taken as a time-out.
    if (got < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        ComClose();
    }
    return std::nullopt;
}

void PosixSerialLink::ComClose() {
    if (opened_) {
        ::ioctl(fd_, TIOCNXCL); // the terminal may be opened again by anyone
        ::close(fd_);           // also drops the flock
    }
    fd_ = -1;
    path_.clear();
    opened_ = false;
}

std::unique_ptr<SerialLink> MakePlatformSerialLink() {
    return std::make_unique<PosixSerialLink>();
}

} // namespace hrv
