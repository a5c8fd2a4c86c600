// rvx-cli analyze --method standard: the options of the standard (Task Force) analysis and its
// object on each file's JSON line, after the system's own fields.
#pragma once

#include "analysis/beat_correction.h"
#include "analysis/fragment_data.h"
#include "cli/options.h"
#include "standard/standard.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {
struct PpgWorkspace;
enum class FileKind;
} // namespace hrv

namespace hrv::cli {

struct StandardChoice {
    bool on = false;        // --method standard
    bool anyOption = false; // one of its options was given
    standard::Settings settings;
};

// --method system|standard, --interp HZ, --detrend none|priors[:LAMBDA], --welch-window S,
// --welch-overlap PERCENT, --ar-order N, --ar-method fb|burg, --points-per-hz P,
// --nn-threshold MS.
void AddStandardOptions(OptionParser& parser, StandardChoice& choice);

// Empty when the choice goes with the other options, else the message (naming the option).
std::string CheckStandard(const StandardChoice& choice, bool windows, bool text);

// The intervals the standard analysis takes from a corrected series: `ms` and `ticks` are the
// file's intervals (in ms and in 10 ms ticks), `c` the correction of `ticks`. Every interval the
// correction left as it was, between the same two beats, keeps its value in ms; every interval it
// made or moved takes its ticks * 10 ms.
std::vector<double> CorrectedIntervalsMs(std::span<const double> ms,
                                         std::span<const std::uint8_t> ticks,
                                         const BeatCorrection& c);

// The JSON line `line` (one object) with `"standard": {...}` added at its end: the analysis of
// every interval of the file (an RR list's in ms as written, other files' in 10 ms ticks; the
// beat times their running sum), or {"error": "..."} when it cannot be analysed. With
// CorrectionMode::Auto the corrector runs over every interval of the file first and the analysis
// takes CorrectedIntervalsMs. With `spectra` each spectrum's "psd".
std::string WithStandard(std::string line, const std::string& path, FileKind kind, PpgWorkspace& w,
                         const standard::Settings& settings, CorrectionMode correct, bool spectra);

} // namespace hrv::cli
