// rvx-cli print: the words of the command, shared by rvx-cli and the report printer it runs.
#pragma once

#include "analysis/fragment_data.h"
#include "cli/commands.h"
#include "cli/standard_option.h"
#include "files/fragment_load.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace hrv::cli {

// The helper program beside rvx-cli that draws the report (it needs the window libraries).
inline constexpr const char* kPrintHelperName = "rvx-print";

struct PrintOptions {
    std::string pdf;                               // --pdf: the PDF file written
    std::optional<FileKind> kind;                  // --type; otherwise by extension
    CorrectionMode correct = CorrectionMode::None; // --correct
    std::optional<int> windows; // --windows STEP: the trend report of the whole recording, s
    bool nonlinear = false;     // --nonlinear: DFA α1 on the trend report (with --windows only)
    RecordChoice record;        // --beats, --channel: an ECG record's beats
    StandardChoice standard; // --method standard: the page's block "Стандартный анализ"
    std::string file;        // the fragment printed, or the recording of the trend report
};

// Parses "--pdf OUT.pdf [--type rr|ppg|txt|wfdb|edf] [--correct none|auto] [--windows STEP
// [--nonlinear]] [--beats detect|annotations] [--channel NAME|N] [--method system|standard and
// its options] FILE"; reports what is wrong on `err`.
std::optional<PrintOptions> ParsePrint(const Args& args, std::ostream& err);

} // namespace hrv::cli
