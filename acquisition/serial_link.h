// The serial link to the pulse sensor device: the port chosen by a small index, one fixed line
// format, four speeds and a one-byte read with a bounded wait. The program only receives.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace hrv {

// A set-up failure of the link, whichever step failed; its text is always "Ошибка инициализации
// COM". The detail, when the link knows it, names the port's device and the reason
// ("/dev/ttyS1 (No such file or directory)"); the window shows the text alone.
class ComError : public std::runtime_error {
public:
    ComError();
    explicit ComError(std::string detail);
    const std::string& detail() const { return detail_; }
    // The text, then ": " and the detail when there is one.
    std::string FullText() const;

private:
    std::string detail_;
};

inline constexpr int kPortCount = 4;    // port indices 0..3
inline constexpr int kUsbPortIndex = 3; // the USB recorder: a name, never opened by this link
inline constexpr int kBaudCount = 4;    // baud indices 0..3
inline constexpr std::int32_t kQueueBytes = 1024; // driver queue sizes asked for by a recording

// Port names by port index; entry 3 is never opened.
inline constexpr std::array<const char*, kPortCount> kComPortNames = {"COM1", "COM2", "COM3",
                                                                      "USB"};
// Line speeds in baud by baud index.
inline constexpr std::array<std::uint32_t, kBaudCount> kComBaudRates = {600, 2400, 19200, 38400};

// Read time-outs, ms: a one-byte read returns as soon as a byte is there and gives up after
// kReadTotalConstantMs + kReadTotalMultiplierMs * 1 = 510 ms.
inline constexpr int kReadIntervalMs = 2;
inline constexpr int kReadTotalMultiplierMs = 10;
inline constexpr int kReadTotalConstantMs = 500;
inline constexpr int kReadByteTimeoutMs = kReadTotalConstantMs + kReadTotalMultiplierMs;

// The link the recording talks to. Set-up steps throw ComError; the read never throws.
class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Closes an open port, then opens the named port exclusively. Index 3 does nothing at all
    // (nothing is closed, ComOpened keeps its value); an index above 3 throws without touching
    // any port.
    virtual void ComOpen(std::uint8_t portIndex) = 0;
    // Applies the line format (8 data bits, no parity, 1 stop bit, binary, RTS/CTS handshake,
    // DTR off, no XON/XOFF) at the speed of the baud index (0..3, else ComError before anything
    // else happens). ComError when no port is open.
    virtual void ComSetState(std::int32_t baudIndex) = 0;
    // Asks for driver queues of the given sizes (bytes, both >= 0, else ComError).
    virtual void ComSetQueues(std::int32_t inputBytes, std::int32_t outputBytes) = 0;
    // Applies the read time-outs above. ComError when no port is open.
    virtual void ComSetTimeouts() = 0;
    // One byte, or nothing after at most 510 ms; nothing at once when the port is closed. A
    // read that fails (the device hung up or went away, an I/O error) closes the port and
    // gives nothing: ComOpened() is false afterwards, which tells a failure from a time-out.
    virtual std::optional<std::uint8_t> ComReadByte() = 0;
    // Closes the port if it is open; always leaves the link closed.
    virtual void ComClose() = 0;
    virtual bool ComOpened() const = 0;
};

// The device a port index stands for on this platform. On Windows "COM1".."COM3"; elsewhere
// /dev/ttyS0../dev/ttyS2, each replaced by the environment variable RVX_COM1..RVX_COM3 when that
// is set and not empty (a USB serial adapter, or the simulator's pseudo-terminal). Index 3 and
// above: empty.
std::string PortDevicePath(std::uint8_t portIndex);

} // namespace hrv
