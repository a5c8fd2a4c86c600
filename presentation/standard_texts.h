// The texts of the standard (Task Force) analysis as the program shows them: its heading, its
// settings on one line, the time-domain values and the band powers of its three spectra, with
// the locale's decimal separator and "—" where a value is undefined.
#pragma once

#include "standard/standard.h"

#include <array>
#include <string>
#include <vector>

namespace hrv {

inline constexpr const char* kStandardHeading = "Стандартный анализ";
// What stands for an undefined value.
inline constexpr const char* kStandardUndefined = "—";

// The heading with what the analysis covers, the length and number of its intervals: "Стандартный
// анализ (0:59:59, интервалов: 4684)" (the whole file where the system's fragment is its first
// 300 s; after a correction, the intervals kept).
std::string StandardHeadingText(const standard::Result& r);

// The settings: the spline's rate, the detrending, the Welch segment and overlap, the AR order
// and estimator, the grid and the NNxx threshold ("4 Гц, тренд: нет, Уэлч 300 с 50 %, ...").
std::string StandardSettingsText(const standard::Settings& s, char separator);

// One value of the time domain: its label, the value and its unit (empty for a count).
struct StandardValue {
    std::string label;
    std::string value;
    std::string unit;
};
// Mean RR, SDNN, RMSSD, SDSD, NNxx and pNNxx (named for the threshold: NN50, pNN50), the mean,
// SD, minimum and maximum of HR, SD1, SD2, SDANN and SDNN index.
std::vector<StandardValue> StandardTimeValues(const standard::Result& r, char separator);

// One row of the band powers: its label, the values of the Welch, AR and Lomb-Scargle spectra
// (in that order, "—" for a spectrum that is undefined) and its unit.
struct StandardBandRow {
    std::string label;
    std::array<std::string, 3> values;
    std::string unit;
};
// The columns' names: "Уэлч", "АР", "Ломб".
std::array<std::string, 3> StandardSpectrumNames();
// VLF, LF, HF and their total (ms²), their relative powers (%), LF and HF in n.u., LF/HF and
// the peaks of the three bands (Hz). With `main` only VLF, LF, HF, LF and HF n.u., LF/HF.
std::vector<StandardBandRow> StandardBandRows(const standard::Result& r, char separator,
                                              bool main = false);

} // namespace hrv
