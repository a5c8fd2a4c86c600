// The data of the one current fragment: its intervals as recorded or loaded, the working series
// of the analysis and every result. Fixed capacities, nothing allocated per analysis.
#pragma once

#include "analysis/beat_correction.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace hrv {

// Capacities. Arrays of intervals and of spectral bins are indexed from 1 (slot 0 unused), so
// positions are written as they are counted; sample buffers, the histogram and the scatter map
// are indexed from 0.
inline constexpr int kRrCapacity = 2000;       // intervals held in RrTicks and RrAux
inline constexpr int kWordCapacity = 40000;    // words held in RrWords (an RR file image)
inline constexpr int kSeriesCapacity = 12000;  // positions of AnalysisSeries
inline constexpr int kLastSampleSlot = 300000; // ResampleBuffer and Rhythmogram: slots 0..300000
inline constexpr int kSpectrumSamples = 30000; // samples transformed: 300 s at 100 Hz
inline constexpr int kBinCount = 150;          // spectral bins 1..150, bin k at k/300 Hz
inline constexpr int kClassCount = 256;        // histogram classes 0..255 ticks

inline constexpr int kSettingsRecordSize = 176;
inline constexpr int kShortStringCapacity = 80; // characters of a short string

// A short string as it is stored: a length byte and 80 bytes of Windows-1251 text. Only the first
// `length` bytes count; the rest is carried through unchanged.
struct ShortString {
    std::uint8_t length = 0;
    std::array<std::uint8_t, kShortStringCapacity> bytes{};
};

// The persisted settings record, field by field in file order (see files/settings_file.h).
struct SettingsRecord {
    ShortString DataDir;          // offset 0: folder of the RR open and save dialogs
    ShortString Dialog2Dir;       // offset 81: folder of the second open dialog
    std::uint8_t PortIndex = 0;   // offset 162: 0 COM1, 1 COM2, 2 COM3, 3 USB recorder
    std::uint8_t Alignment = 0;   // offset 163: not used, carried through
    std::int32_t BaudIndex = 0;   // offset 164: 0 600, 1 2400, 2 19200, 3 38400 baud
    std::int32_t DeviceIndex = 0; // offset 168: device model
    std::int32_t FilterIndex = 0; // offset 172: file type last chosen in the open dialog
};

struct SpectrumData {
    std::array<double, kBinCount + 1> Power{};  // ticks^2/Hz, bins 1..150
    std::array<double, kBinCount + 1> CosSum{}; // bins 1..150
    std::array<double, kBinCount + 1> SinSum{}; // bins 1..150
};

struct SpectralIndicesData {
    double VLF = 0; // band powers, scaled by 1000
    double LF = 0;
    double HF = 0;
    double Total = 0;
    double LFnorm = 0; // percent
    double HFnorm = 0; // percent
    double LFHF = 0;   // ratio
};

struct TimeIndicesData {
    std::int32_t ModeClass = 0; // ticks
    std::int32_t ModeCount = 0; // intervals
    std::int32_t AMo = 0;       // percent
    std::int32_t HRVind = 0;
    std::int32_t TINN = 0;     // ms
    std::int32_t HR = 0;       // beats per minute
    double SDNN = 0;           // ms
    double RMSSD = 0;          // ms
    double NN50 = 0;           // count held as a double
    double pNN50 = 0;          // percent of FragmentCount
    std::int32_t MinClass = 0; // ticks
    std::int32_t MaxClass = 0; // ticks
};

// Whether the analysis corrects artefact beats first (see analysis/beat_correction.h).
enum class CorrectionMode : std::uint8_t { None, Auto };

// The whole fragment. About 5 MB: never on the stack; the programs hold one instance for the run
// (Fragment()), tests make their own with std::make_unique.
struct FragmentData {
    // The fragment itself.
    std::string CurrentFileName; // full path of the file last opened or saved
    std::string CurrentFileDate; // its modification date as display text
    std::int32_t RrCount = 0;    // intervals held in RrWords (and RrTicks)
    SettingsRecord Settings;
    std::string AppDir;                                  // current directory at start-up
    std::array<std::uint8_t, kRrCapacity + 1> RrTicks{}; // ticks, positions 1..2000
    std::array<std::uint8_t, kRrCapacity + 1> RrAux{};   // device's second byte, positions 1..2000
    std::array<std::uint16_t, kWordCapacity + 1> RrWords{}; // ticks*256+aux, positions 1..40000

    // Resampling and spectrum.
    std::array<std::uint8_t, kSeriesCapacity + 1> AnalysisSeries{}; // ticks, positions 1..12000
    std::array<double, kLastSampleSlot + 1> ResampleBuffer{};       // ticks, slots 0..300000
    std::array<double, kLastSampleSlot + 1> Rhythmogram{};          // ticks, slots 1..300000
    SpectrumData Spectrum;
    SpectralIndicesData SpectralIndices;
    std::uint16_t FragmentCount = 0; // intervals from position 1 used by the statistics

    // Time-domain results.
    TimeIndicesData TimeIndices;
    std::array<std::int32_t, kClassCount> Histogram{};  // intervals per tick class 0..255
    std::array<std::uint8_t, kClassCount> ScatterMap{}; // preceding interval per following interval

    // Artefact correction, chosen by the caller before an analysis; off unless the user asks.
    // With Auto the analysis corrects the first min(RrCount, 2000) intervals of RrWords into
    // RrTicks and AnalysisSeries (at most 2000 intervals), and Correction holds what it did;
    // RrWords always keeps the intervals as recorded or read, so Save writes those.
    CorrectionMode Correct = CorrectionMode::None;
    bool Corrected = false;           // RrTicks and AnalysisSeries hold a corrected series
    std::int32_t CorrectionInput = 0; // input intervals the last correction examined
    BeatCorrection Correction;        // the last correction; empty when none ran
    // The correction line of the panel and the page when the beats were edited or corrected
    // outside the analysis (the beats in view), instead of the one Correction gives; empty: none.
    std::string CorrectionNote;
};

// The process-wide fragment of the programs (zero-filled, created on first use).
FragmentData& Fragment();

// Writes every memory page of `f` once, each with the values it holds, so that the next analysis
// does not pay for the first writes to its pages (a new process's pages, or pages shared
// copy-on-write since the process started a child). Changes no value.
void TouchPages(FragmentData& f);

// Real to integer: nearest, ties to even (2.5 -> 2), as every conversion of the system does.
inline std::int32_t RoundEven(double x) {
    return static_cast<std::int32_t>(std::lrint(x));
}

} // namespace hrv
