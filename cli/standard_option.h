// rvx-cli analyze --method standard: the options of the standard (Task Force) analysis and its
// object on each file's JSON line, after the system's own fields.
#pragma once

#include "analysis/fragment_data.h"
#include "cli/options.h"
#include "standard/standard.h"

#include <functional>
#include <optional>
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

// Empty when the choice is usable, else the message (naming the option or the setting).
std::string CheckStandard(const StandardChoice& choice);

// The JSON line `line` (one object, a newline at its end or not) with `"standard": object`
// added at its end.
std::string AppendStandard(std::string line, const std::string& object);

// A standard analysis, or why it cannot be made.
struct StandardOutcome {
    std::optional<standard::Result> result;
    std::string error; // when there is no result
};

// What `analyse` gives, or the message of what it throws.
StandardOutcome StandardOutcomeOf(const std::function<standard::Result()>& analyse);

// The standard analysis of every interval of the file just opened through `w`, at the beats' own
// resolution (OpenedFileIntervals). With CorrectionMode::Auto it takes the corrected series
// (AnalyseStandard).
StandardOutcome StandardOfFile(const std::string& path, FileKind kind, PpgWorkspace& w,
                               const standard::Settings& settings, CorrectionMode correct);

// Its JSON object (`"standard": {...}` without the key; with `spectra` each spectrum's "psd"), or
// {"error": "..."} when there is no result.
std::string StandardObjectOf(const StandardOutcome& outcome, bool spectra);

// --format text: its block (StandardText), or the heading and the reason it cannot be analysed.
std::string StandardTextOf(const StandardOutcome& outcome, char separator);

} // namespace hrv::cli
