// The header of a WFDB (PhysioNet) record, "NAME.hea": a record line (name, number of signals,
// frame rate with the counter frequency, length, base time and date), one line per signal (its
// file, format with samples per frame, skew and byte offset, gain with baseline and unit, ADC
// resolution and zero, initial value, checksum, block size, description) and comments ("#").
#pragma once

#include "files/signal_file_error.h"
#include "signals/signal_recording.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hrv {

inline constexpr std::size_t kWfdbHeaderLimit = 1 << 20; // bytes of a header read at most
inline constexpr int kWfdbMaxSignals = 4096;
inline constexpr int kWfdbMaxSamplesPerFrame = 1 << 16;
inline constexpr double kWfdbDefaultGain = 200; // raw units per physical unit when none given
inline constexpr double kWfdbDefaultRate = 250; // frames per second when none given

struct WfdbSignalSpec {
    std::string fileName;
    int format = 0;              // 8, 16, 24, 32, 61, 80, 160, 212, 310, 311
    int samplesPerFrame = 1;     // "212x4"
    std::int64_t skew = 0;       // "212:4": frames by which the signal lags the others
    std::int64_t byteOffset = 0; // "16+24": bytes before the first sample
    double gain = kWfdbDefaultGain;
    bool gainGiven = false; // false when missing or 0 (uncalibrated)
    double baseline = 0;    // defaults to the ADC zero
    std::string unit = "mV";
    int adcResolution = 0; // bits; 0 when not given
    std::int32_t adcZero = 0;
    std::int32_t initialValue =
        0; // the first sample of a format 8 signal; defaults to the ADC zero
    bool hasChecksum = false;
    std::int32_t checksum = 0; // 16-bit sum of all samples
    std::int32_t blockSize = 0;
    std::string description; // the lead's name ("MLII") and whatever follows
};

struct WfdbHeader {
    std::string name;
    double frameRate = kWfdbDefaultRate; // frames per second
    double counterFrequency = 0;         // 0 when not given
    double baseCounter = 0;
    std::int64_t frames = 0; // length of every signal in frames; 0 when not given
    RecordStart start;
    std::vector<WfdbSignalSpec> signals;
    std::vector<std::string> comments; // "#" lines, without the "#"
};

// Reads a header's text. A multi-segment record, a malformed field, a rate that is not positive
// and finite, fewer signal lines than the record line says or an unknown signal format throw
// SignalFileError naming `path` and the fault.
WfdbHeader ParseWfdbHeader(std::string_view text, const std::string& path);

// The header at `path`. Throws SignalFileError, FileIoError when the file layer fails.
WfdbHeader ReadWfdbHeader(const std::string& path);

// The header's path for a record named by its header, a signal file or its name alone:
// "rec.hea", "rec.dat", "rec" all give "rec.hea".
std::string WfdbHeaderPath(const std::string& path);

// The folder part of a path with its separator ("a/b/" of "a/b/c.hea"), "" for none.
std::string FolderOfPath(const std::string& path);

} // namespace hrv
