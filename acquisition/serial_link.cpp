// The link's error and the names of the ports on this platform.
#include "acquisition/serial_link.h"

#include "acquisition/link_messages.h"

#include <cstdlib>
#include <utility>

namespace hrv {

ComError::ComError() : std::runtime_error(std::string(msg::kComInitError)) {}

ComError::ComError(std::string detail)
    : std::runtime_error(std::string(msg::kComInitError)), detail_(std::move(detail)) {}

std::string ComError::FullText() const {
    return detail_.empty() ? std::string(what()) : std::string(what()) + ": " + detail_;
}

std::string PortDevicePath(std::uint8_t portIndex) {
    if (portIndex >= kUsbPortIndex) {
        return {};
    }
#ifdef _WIN32
    return kComPortNames[portIndex];
#else
    static constexpr std::array<const char*, kUsbPortIndex> kOverrides = {"RVX_COM1", "RVX_COM2",
                                                                          "RVX_COM3"};
    static constexpr std::array<const char*, kUsbPortIndex> kDevices = {"/dev/ttyS0", "/dev/ttyS1",
                                                                        "/dev/ttyS2"};
    const char* override = std::getenv(kOverrides[portIndex]);
    if (override != nullptr && *override != '\0') {
        return override;
    }
    return kDevices[portIndex];
#endif
}

} // namespace hrv
