// The texts of the two result panels: time-domain indices and spectral indices.
#pragma once

#include "analysis/fragment_data.h"

#include <string>

namespace hrv {

// Lines joined by "\r\n", no line end after the last one, one empty line inside; every label
// begins with a blank and is followed by a tab. Reals through FormatFixed with `separator`.
// With the fragment corrected (f.Corrected) the time-domain panel ends with one more line, the
// CorrectionText after a blank; otherwise it is as it always was.
std::string StatPanelText(const FragmentData& f, char separator);
std::string SpecPanelText(const FragmentData& f, char separator);

// The artefacts of the last correction that start before the end of the analysed fragment: an
// artefact at input interval i counts when the input intervals before it add up to less than the
// first FragmentCount corrected intervals (the correction keeps the beats' times, so both are
// times from the fragment's start). 0 when the fragment was not corrected.
int CorrectionsInFragment(const FragmentData& f);

// "Коррекция: N из M (P %)": N CorrectionsInFragment, M FragmentCount (the intervals analysed),
// P = 100 N / M with one decimal and `separator` ("Коррекция: 3 из 397 (0,8 %)").
std::string CorrectionText(const FragmentData& f, char separator);

} // namespace hrv
