// The settings record: its 176 bytes read back, the start-up and setup rules applied to it and
// its short strings as text.
#include "acquisition/serial_link.h"
#include "files/settings_file.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    SettingsBytes bytes{};
    std::memcpy(bytes.data(), data, std::min(size, bytes.size()));
    const std::uint8_t extra = size > bytes.size() ? data[bytes.size()] : 0;

    SettingsRecord s = SettingsFromBytes(bytes);
    FUZZ_CHECK(SettingsToBytes(s) == bytes); // every byte is carried through

    const std::string dataDir = ShortStringText(s.DataDir);
    const std::string dialog2Dir = ShortStringText(s.Dialog2Dir);
    FUZZ_CHECK(hrv::fuzz::ValidUtf8(dataDir) && hrv::fuzz::ValidUtf8(dialog2Dir));
    // The text stored again gives the same text.
    SettingsRecord copy = s;
    SetShortString(copy.DataDir, dataDir);
    FUZZ_CHECK(ShortStringText(copy.DataDir) == dataDir);

    const SetupSelections sel = SetupSelectionsFor(s);
    FUZZ_CHECK(sel.device >= -1 && sel.device < kDeviceEntries);
    FUZZ_CHECK(sel.port >= -1 && sel.port < kPortEntries);
    FUZZ_CHECK(sel.baud >= -1 && sel.baud < kBaudEntries);

    const auto status = static_cast<SettingsReadStatus>(extra % 3);
    SettingsRecord started = s;
    const StartupSettings st = ApplyStartupSettings(status, started, 10);
    if (st.caption) {
        FUZZ_CHECK(hrv::fuzz::ValidUtf8(*st.caption));
    }
    if (status != SettingsReadStatus::Read) {
        // Without a record read the port and the baud rate are the first run's.
        FUZZ_CHECK(started.PortIndex == 1 && started.BaudIndex == 1);
    }
    SettingsRecord applied = s;
    const int device = static_cast<int>(extra & 3) - 1;
    const int port = static_cast<int>((extra >> 2) & 7) - 2;
    const int baud = static_cast<int>((extra >> 5) & 3) - 1;
    const SetupApplied a = ApplySetupResult(applied, device, port, baud);
    if (device == 2) {
        FUZZ_CHECK(applied.PortIndex == kUsbPortIndex); // the USB recorder
    } else if (port >= 0 && port < kPortEntries) {
        FUZZ_CHECK(applied.PortIndex == port);
    } else {
        FUZZ_CHECK(applied.PortIndex == s.PortIndex);
    }
    if (baud == -1) {
        FUZZ_CHECK(applied.BaudIndex == s.BaudIndex);
    }
    if (a.caption) {
        FUZZ_CHECK(hrv::fuzz::ValidUtf8(*a.caption));
    }
    return 0;
}
