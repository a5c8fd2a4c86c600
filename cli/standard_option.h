// rvx-cli analyze --method standard: the options of the standard (Task Force) analysis and its
// object on each file's JSON line, after the system's own fields.
#pragma once

#include "cli/options.h"
#include "standard/standard.h"

#include <string>

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

// The JSON line `line` (one object) with `"standard": {...}` added at its end: the analysis of
// every interval of the file (an RR list's in ms as written, other files' in 10 ms ticks; the
// beat times their running sum), or {"error": "..."} when it cannot be analysed. With `spectra`
// each spectrum's "psd".
std::string WithStandard(std::string line, const std::string& path, FileKind kind, PpgWorkspace& w,
                         const standard::Settings& settings, bool spectra);

} // namespace hrv::cli
