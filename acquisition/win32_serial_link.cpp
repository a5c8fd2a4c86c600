// The serial link over the Windows communications functions, with the device control block and
// the time-outs of the device's line format.
#include "acquisition/platform_serial_link.h"
#include "util/utf16.h"

#include <string>
#include <windows.h>

namespace hrv {

namespace {

// The port and the system's reason for ComError's detail (UTF-8).
std::string Detail(const char* port, DWORD err) {
    if (err == ERROR_ACCESS_DENIED) {
        return std::string(port) + " (порт занят другой программой)";
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
    std::string reason = "ошибка " + std::to_string(err);
    if (!w.empty()) {
        reason = Utf8(w);
    }
    return std::string(port) + " (" + reason + ")";
}

class Win32SerialLink : public SerialLink {
public:
    Win32SerialLink() = default;
    Win32SerialLink(const Win32SerialLink&) = delete;
    Win32SerialLink& operator=(const Win32SerialLink&) = delete;
    ~Win32SerialLink() override { ComClose(); }

    void ComOpen(std::uint8_t portIndex) override {
        if (portIndex == kUsbPortIndex) {
            return;
        }
        if (portIndex > kUsbPortIndex) {
            throw ComError();
        }
        ComClose();
        // Exclusive (share mode 0), the port must exist.
        handle_ = ::CreateFileA(kComPortNames[portIndex], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            throw ComError(Detail(kComPortNames[portIndex], ::GetLastError()));
        }
        opened_ = true;
    }

    void ComSetState(std::int32_t baudIndex) override {
        if (baudIndex < 0 || baudIndex >= kBaudCount || !opened_) {
            throw ComError();
        }
        DCB dcb{};
        dcb.DCBlength = sizeof(DCB);
        dcb.BaudRate = kComBaudRates[static_cast<std::size_t>(baudIndex)];
        dcb.fBinary = 1;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.XonChar = 17;  // DC1
        dcb.XoffChar = 19; // DC3
        dcb.wReserved1 = 65;
        if (::SetCommState(handle_, &dcb) == 0) {
            throw ComError();
        }
    }

    void ComSetQueues(std::int32_t inputBytes, std::int32_t outputBytes) override {
        if (inputBytes < 0 || outputBytes < 0 || !opened_ ||
            ::SetupComm(handle_, static_cast<DWORD>(inputBytes), static_cast<DWORD>(outputBytes)) ==
                0) {
            throw ComError();
        }
    }

    void ComSetTimeouts() override {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = kReadIntervalMs;
        t.ReadTotalTimeoutMultiplier = kReadTotalMultiplierMs;
        t.ReadTotalTimeoutConstant = kReadTotalConstantMs;
        t.WriteTotalTimeoutMultiplier = 2;
        t.WriteTotalTimeoutConstant = 2;
        if (!opened_ || ::SetCommTimeouts(handle_, &t) == 0) {
            throw ComError();
        }
    }

    std::optional<std::uint8_t> ComReadByte() override {
        if (!opened_) {
            return std::nullopt;
        }
        std::uint8_t byte = 0;
        DWORD count = 0;
        if (::ReadFile(handle_, &byte, 1, &count, nullptr) == 0) {
            // The device went away (an unplugged USB adapter) or the read failed.
            ComClose();
            return std::nullopt;
        }
        if (count != 1) {
            // A time-out, or a device gone away without failing the read (a USB adapter or a
            // pseudo-terminal whose other side has closed): then the port's status is gone too.
            DWORD errors = 0;
            COMSTAT status{};
            if (::ClearCommError(handle_, &errors, &status) == 0) {
                ComClose();
            }
            return std::nullopt;
        }
        return byte;
    }

    void ComClose() override {
        if (opened_) {
            ::CloseHandle(handle_);
        }
        opened_ = false;
    }

    bool ComOpened() const override { return opened_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool opened_ = false;
};

} // namespace

std::unique_ptr<SerialLink> MakePlatformSerialLink() {
    return std::make_unique<Win32SerialLink>();
}

} // namespace hrv
