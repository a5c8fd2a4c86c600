// The settings file and its rules.
#include "files/settings_file.h"

#include "files/cp1251.h"
#include "files/file_io.h"

#include <algorithm>

namespace hrv {

namespace {

void PutShortString(SettingsBytes& out, std::size_t offset, const ShortString& s) {
    out[offset] = s.length; // as the record holds it, also above 80
    std::copy(s.bytes.begin(), s.bytes.end(),
              out.begin() + static_cast<std::ptrdiff_t>(offset) + 1);
}

ShortString GetShortString(std::span<const std::uint8_t, kSettingsRecordSize> in,
                           std::size_t offset) {
    ShortString s;
    s.length = in[offset];
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(offset) + 1, kShortStringCapacity,
                s.bytes.begin());
    return s;
}

void PutInt32(SettingsBytes& out, std::size_t offset, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(u >> (8 * i)); // little-endian
    }
}

std::int32_t GetInt32(std::span<const std::uint8_t, kSettingsRecordSize> in, std::size_t offset) {
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        u |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
    }
    return static_cast<std::int32_t>(u);
}

// Device model 0 and the defaults of a run without a usable file.
constexpr std::int32_t kDefaultScale = 10;
constexpr std::int32_t kSecondModelScale = 8;
constexpr std::uint8_t kUsbPort = 3;

} // namespace

SettingsBytes SettingsToBytes(const SettingsRecord& s) {
    SettingsBytes out{};
    PutShortString(out, kDataDirOffset, s.DataDir);
    PutShortString(out, kDialog2DirOffset, s.Dialog2Dir);
    out[kPortIndexOffset] = s.PortIndex;
    out[kAlignmentOffset] = s.Alignment;
    PutInt32(out, kBaudIndexOffset, s.BaudIndex);
    PutInt32(out, kDeviceIndexOffset, s.DeviceIndex);
    PutInt32(out, kFilterIndexOffset, s.FilterIndex);
    return out;
}

SettingsRecord SettingsFromBytes(std::span<const std::uint8_t, kSettingsRecordSize> bytes) {
    SettingsRecord s;
    s.DataDir = GetShortString(bytes, kDataDirOffset);
    s.Dialog2Dir = GetShortString(bytes, kDialog2DirOffset);
    s.PortIndex = bytes[kPortIndexOffset];
    s.Alignment = bytes[kAlignmentOffset];
    s.BaudIndex = GetInt32(bytes, kBaudIndexOffset);
    s.DeviceIndex = GetInt32(bytes, kDeviceIndexOffset);
    s.FilterIndex = GetInt32(bytes, kFilterIndexOffset);
    return s;
}

SettingsRecord DefaultSettings() {
    SettingsRecord s;
    s.PortIndex = 1;
    s.BaudIndex = 1;
    s.DeviceIndex = 0;
    s.FilterIndex = 0;
    return s;
}

SettingsReadStatus ReadSettings(const std::string& path, SettingsRecord& s) {
    if (!FileExists(path)) {
        return SettingsReadStatus::Missing;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path, kSettingsRecordSize);
    } catch (const FileIoError&) {
        return SettingsReadStatus::Unreadable;
    }
    if (bytes.size() < kSettingsRecordSize) {
        return SettingsReadStatus::Unreadable;
    }
    s = SettingsFromBytes(
        std::span<const std::uint8_t, kSettingsRecordSize>(bytes.data(), kSettingsRecordSize));
    return SettingsReadStatus::Read;
}

void WriteSettings(const std::string& path, const SettingsRecord& s) {
    const SettingsBytes bytes = SettingsToBytes(s);
    WriteFileAtomic(path, bytes);
}

std::string ShortStringText(const ShortString& s) {
    const std::size_t n = std::min<std::size_t>(s.length, kShortStringCapacity);
    const std::string bytes(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    return Cp1251ToUtf8(bytes);
}

void SetShortString(ShortString& s, const std::string& utf8) {
    const std::string bytes = Utf8ToCp1251(utf8);
    const std::size_t n = std::min<std::size_t>(bytes.size(), kShortStringCapacity);
    s.length = static_cast<std::uint8_t>(n);
    std::copy_n(bytes.begin(), n, s.bytes.begin());
}

StartupSettings ApplyStartupSettings(SettingsReadStatus status, SettingsRecord& s,
                                     std::int32_t currentScale) {
    StartupSettings out;
    out.deviceScale = currentScale;
    switch (status) {
    case SettingsReadStatus::Read:
        out.dialogsFromRecord = true;
        break;
    case SettingsReadStatus::Unreadable:
        // Never half-read fields: the whole record is the first run's.
        out.readError = true;
        s = DefaultSettings();
        out.deviceScale = kDefaultScale;
        out.caption = "Тарин-07";
        break;
    case SettingsReadStatus::Missing:
        s.DeviceIndex = 0;
        s.PortIndex = 1;
        s.BaudIndex = 1;
        out.deviceScale = kDefaultScale;
        out.caption = "Тарин-07";
        break;
    }
    switch (s.DeviceIndex) {
    case 0:
        out.deviceScale = kDefaultScale;
        out.caption = "Тарин-07";
        break;
    case 1:
        out.deviceScale = kSecondModelScale;
        out.caption = "Вира-005";
        break;
    case 2: // the USB recorder, as the setup dialog names it
        out.deviceScale = kDefaultScale;
        out.caption = "USB регистратор";
        break;
    default:
        break;
    }
    return out;
}

SetupSelections SetupSelectionsFor(const SettingsRecord& s) {
    SetupSelections sel;
    sel.device = s.DeviceIndex < 0 ? -1 : std::min(s.DeviceIndex, kDeviceEntries - 1);
    sel.port = s.PortIndex < kPortEntries ? s.PortIndex : -1;
    sel.baud = s.BaudIndex >= 0 && s.BaudIndex < kBaudEntries ? s.BaudIndex : -1;
    return sel;
}

SetupApplied ApplySetupResult(SettingsRecord& s, int device, int port, int baud) {
    if (port >= 0 && port < kPortEntries) {
        s.PortIndex = static_cast<std::uint8_t>(port);
    }
    if (baud >= 0) {
        s.BaudIndex = baud; // with no entry selected the previous rate (also 38400) stays
    }
    s.DeviceIndex = device;
    SetupApplied out;
    out.deviceScale = kDefaultScale;
    switch (device) {
    case 0:
        out.caption = "ТАРИН-07";
        break;
    case 1:
        out.deviceScale = kSecondModelScale;
        out.caption = "ВИРА-05";
        break;
    case 2:
        s.PortIndex = kUsbPort;
        out.caption = "USB регистратор";
        break;
    default:
        break;
    }
    return out;
}

} // namespace hrv
