// The settings file and its rules.
#include "files/settings_file.h"

#include "files/cp1251.h"
#include "files/file_io.h"

#include <algorithm>
#include <array>
#include <string_view>

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

constexpr std::int32_t kDefaultScale =
    10; // the interval scale of device model 0 and the USB recorder
constexpr std::uint8_t kUsbPort = 3;
constexpr int kUsbDevice = 2;

// The device models by DeviceIndex: the interval scale and the window caption. The caption is
// spelt one way at start-up and another after the setup dialog, as the program has always
// shown them.
struct DeviceModel {
    std::int32_t scale;
    std::string_view startupCaption;
    std::string_view setupCaption;
};
constexpr std::array<DeviceModel, 3> kDeviceModels{{
    {kDefaultScale, "Тарин-07", "ТАРИН-07"},
    {8, "Вира-005", "ВИРА-05"},
    {kDefaultScale, "USB регистратор", "USB регистратор"}, // the USB recorder
}};

const DeviceModel* DeviceModelOf(std::int32_t deviceIndex) {
    return deviceIndex >= 0 && deviceIndex < static_cast<std::int32_t>(kDeviceModels.size())
               ? &kDeviceModels[static_cast<std::size_t>(deviceIndex)]
               : nullptr;
}

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
        break;
    case SettingsReadStatus::Missing:
        s.DeviceIndex = 0;
        s.PortIndex = 1;
        s.BaudIndex = 1;
        break;
    }
    if (const DeviceModel* model = DeviceModelOf(s.DeviceIndex)) {
        out.deviceScale = model->scale;
        out.caption = std::string(model->startupCaption);
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
    if (const DeviceModel* model = DeviceModelOf(device)) {
        out.deviceScale = model->scale;
        out.caption = std::string(model->setupCaption);
    }
    if (device == kUsbDevice) {
        s.PortIndex = kUsbPort;
    }
    return out;
}

} // namespace hrv
