// The serial link over a POSIX terminal device (termios): a serial port, a USB serial adapter or
// a pseudo-terminal.
#pragma once

#include "acquisition/serial_link.h"

#include <string>

namespace hrv {

class PosixSerialLink : public SerialLink {
public:
    PosixSerialLink() = default;
    PosixSerialLink(const PosixSerialLink&) = delete;
    PosixSerialLink& operator=(const PosixSerialLink&) = delete;
    ~PosixSerialLink() override;

    void ComOpen(std::uint8_t portIndex) override;
    void ComSetState(std::int32_t baudIndex) override;
    void ComSetQueues(std::int32_t inputBytes, std::int32_t outputBytes) override;
    void ComSetTimeouts() override;
    std::optional<std::uint8_t> ComReadByte() override;
    void ComClose() override;
    bool ComOpened() const override { return opened_; }

    // The device path of the open port (empty when closed).
    const std::string& DevicePath() const { return path_; }

private:
    int fd_ = -1;
    bool opened_ = false;
    std::string path_;
};

} // namespace hrv
