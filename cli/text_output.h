// rvx-cli analyze --format text: the results of a file as a person at a terminal reads them.
#pragma once

#include "analysis/fragment_data.h"
#include "standard/standard.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace hrv::cli {

// A heading line naming the file, then, when `error` is empty, the lines of the window's two
// result panels (time-domain, then spectral; the same labels, units and decimal separator) with
// each label padded to one column, or else the error; an empty line ends the block. With
// `nonlinear` a third block holds the nonlinear indices ("-" where undefined).
std::string TextResult(const std::string& path, const FragmentData& f, std::string_view error,
                       char separator, bool nonlinear = false);

// The block of a file that failed: its heading line, the error and an empty line.
std::string TextError(const std::string& path, std::string_view error);

// --windows: the heading line naming the file, then the columns' names and their units: start,
// HR, SDNN, RMSSD, LF, HF, LF/HF (with `nonlinear` DFA a1 after them).
std::string WindowsTextHeader(const std::string& path, bool nonlinear);

// One window's row under WindowsTextHeader: its start time (ClockText of `startTicks`) and the
// indices of `f` with `separator`, or, when `error` is not empty, the start time and the error.
std::string WindowTextRow(std::int64_t startTicks, const FragmentData& f, std::string_view error,
                          char separator, bool nonlinear);

// --method standard: the block after a file's results: "Стандартный анализ", its settings on the
// line under it, the time-domain values with their units, then the band powers in three columns
// (Welch, AR, Lomb-Scargle); "—" where undefined; an empty line ends it.
std::string StandardText(const standard::Result& r, char separator);
// The same block when the standard analysis cannot be made: the heading and `error`.
std::string StandardTextError(std::string_view error);

// --windows with --method standard: after the window rows, "Стандартный анализ", the settings
// line, then the columns' names and units: start, Mean RR, SDNN, RMSSD, pNNxx, and the Welch
// spectrum's LF, HF and LF/HF.
std::string StandardWindowsHeader(const standard::Settings& s, char separator);
// One window's row under it: its start time and the values of `r` ("—" where undefined), or,
// when `r` is null, the start time and `error`.
std::string StandardWindowRow(std::int64_t startTicks, const standard::Result* r,
                              std::string_view error, char separator);

} // namespace hrv::cli
