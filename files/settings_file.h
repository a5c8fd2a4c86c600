// The settings file "rvxcfg.cfg": one 176-byte record, little-endian, short strings in
// Windows-1251; and the rules that apply it at start-up and after the setup dialog.
#pragma once

#include "analysis/fragment_data.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hrv {

inline constexpr char kSettingsFileName[] = "rvxcfg.cfg";

// Field offsets in the record.
inline constexpr std::size_t kDataDirOffset = 0;       // short string: length byte + 80 bytes
inline constexpr std::size_t kDialog2DirOffset = 81;   // short string
inline constexpr std::size_t kPortIndexOffset = 162;   // unsigned byte
inline constexpr std::size_t kAlignmentOffset = 163;   // unused byte, carried through
inline constexpr std::size_t kBaudIndexOffset = 164;   // 32-bit signed
inline constexpr std::size_t kDeviceIndexOffset = 168; // 32-bit signed
inline constexpr std::size_t kFilterIndexOffset = 172; // 32-bit signed
static_assert(kFilterIndexOffset + 4 == kSettingsRecordSize);

using SettingsBytes = std::array<std::uint8_t, kSettingsRecordSize>;

SettingsBytes SettingsToBytes(const SettingsRecord& s);
SettingsRecord SettingsFromBytes(std::span<const std::uint8_t, kSettingsRecordSize> bytes);

// The record of a first run: two empty short strings, PortIndex 1 (COM2), BaudIndex 1 (2400),
// DeviceIndex 0, FilterIndex 0 and zero bytes elsewhere.
SettingsRecord DefaultSettings();

enum class SettingsReadStatus {
    Read,       // the first 176 bytes were taken; bytes after them are ignored
    Missing,    // no file: the record is unchanged, no message
    Unreadable, // shorter than a record, or it cannot be opened: the record is unchanged
};

// Reads the record from the file at `path`, opened for reading only.
SettingsReadStatus ReadSettings(const std::string& path, SettingsRecord& s);

// Replaces the file with the record's 176 bytes (temporary file, then rename: a failure leaves
// the previous file intact). Throws FileIoError.
void WriteSettings(const std::string& path, const SettingsRecord& s);

// The text of a short string as UTF-8: its first `length` bytes, a length above 80 taken as 80.
std::string ShortStringText(const ShortString& s);
// Stores the first 80 Windows-1251 bytes of `utf8` (a character without one becomes '?'); the
// bytes after the new length keep what they held.
void SetShortString(ShortString& s, const std::string& utf8);

// Start-up: what the window does with the outcome of ReadSettings.
struct StartupSettings {
    bool dialogsFromRecord = false; // initial folders from DataDir and Dialog2Dir
    bool readError = false;         // show the read-error message
    std::int32_t deviceScale = 0;
    std::optional<std::string> caption; // UTF-8; empty: the caption is not changed
};

// Applies the start-up rules to `s`: after a read the record stands; without a file the device,
// port and baud get their defaults; after a failed read the whole record is the first run's.
// Then the device model gives the scale and the caption (DeviceIndex 2, the USB recorder, as
// the setup dialog maps it). `currentScale` is returned when the device model sets none.
StartupSettings ApplyStartupSettings(SettingsReadStatus status, SettingsRecord& s,
                                     std::int32_t currentScale);

// The setup dialog's entries: two device models, three ports, three baud rates.
inline constexpr int kDeviceEntries = 2;
inline constexpr int kPortEntries = 3;
inline constexpr int kBaudEntries = 3;

// Selections the setup dialog opens with; -1 means none (for the port: keep the dialog's own).
struct SetupSelections {
    int device = -1;
    int port = -1;
    int baud = -1;
};
SetupSelections SetupSelectionsFor(const SettingsRecord& s);

struct SetupApplied {
    std::int32_t deviceScale = 10;
    std::optional<std::string> caption; // UTF-8
};

// Takes the selections of the setup dialog closed with OK into `s`. A port outside 0..2 and a
// baud selection of -1 (no entry selected) keep the record's values.
SetupApplied ApplySetupResult(SettingsRecord& s, int device, int port, int baud);

} // namespace hrv
