// The texts of the two result panels.
#include "presentation/panel_texts.h"

#include "presentation/format_fixed.h"

#include <algorithm>
#include <cstdint>

namespace hrv {

std::string StatPanelText(const FragmentData& f, char separator) {
    const TimeIndicesData& t = f.TimeIndices;
    std::string text = " SDNN\t" + FormatFixed(t.SDNN, 2, separator) + " мс\r\n" + " RMSSD\t" +
                       FormatFixed(t.RMSSD, 2, separator) + " мс\r\n" + " pNN50\t" +
                       FormatFixed(t.pNN50, 2, separator) + " %\r\n" + " HRVind\t" +
                       IntegerText(t.HRVind) + "\r\n" + " TINN\t" + IntegerText(t.TINN) +
                       " мс\r\n" + " HR\t" + IntegerText(t.HR) + " уд/мин\r\n\r\n" + " Moda\t" +
                       IntegerText(ModeMs(t)) + " мс\r\n" + " AMo\t" + IntegerText(t.AMo) +
                       " %\r\n" + " DX\t" + IntegerText(RangeMs(t)) + " мс\r\n" + " n\t" +
                       IntegerText(f.FragmentCount);
    if (!f.CorrectionNote.empty()) {
        text += "\r\n " + f.CorrectionNote;
    } else if (f.Corrected) {
        text += "\r\n " + CorrectionText(f, separator);
    }
    return text;
}

std::string SpecPanelText(const FragmentData& f, char separator) {
    const SpectralIndicesData& s = f.SpectralIndices;
    return " VLF\t" + FormatFixed(s.VLF, 0, separator) + " мс2\r\n" + " LF\t" +
           FormatFixed(s.LF, 0, separator) + " мс2\r\n" + " HF\t" +
           FormatFixed(s.HF, 0, separator) + " мс2\r\n" + " Total\t" +
           FormatFixed(s.Total, 0, separator) + " мс2\r\n\r\n" + " LF norm\t" +
           FormatFixed(s.LFnorm, 0, separator) + " %\r\n" + " HF norm\t" +
           FormatFixed(s.HFnorm, 0, separator) + " %\r\n" + " LF/HF\t" +
           FormatFixed(s.LFHF, 2, separator);
}

int CorrectionsInFragment(const FragmentData& f) {
    if (!f.Corrected) {
        return 0;
    }
    const auto& ticks = f.Correction.ticks;
    const std::size_t analysed = std::min<std::size_t>(f.FragmentCount, ticks.size());
    std::int64_t end = 0;
    for (std::size_t k = 0; k < analysed; ++k) {
        end += ticks[k];
    }
    const int input = std::clamp(f.CorrectionInput, 0, kRrCapacity);
    int count = 0;
    int next = 0;           // the input interval `start` has been summed up to
    std::int64_t start = 0; // input ticks before interval `next`
    for (const Artefact& a : f.Correction.artefacts) {
        const int index = std::clamp(a.index, 0, input);
        while (next < index) {
            ++next;
            start += f.RrWords[static_cast<std::size_t>(next)] >> 8; // positions from 1
        }
        if (start >= end) {
            break; // artefacts come in increasing order of index
        }
        ++count;
    }
    return count;
}

std::string CorrectionText(const FragmentData& f, char separator) {
    const int n = CorrectionsInFragment(f);
    const int m = f.FragmentCount;
    const double percent = m > 0 ? 100.0 * n / m : 0.0;
    return "Коррекция: " + IntegerText(n) + " из " + IntegerText(m) + " (" +
           FormatFixed(percent, 1, separator) + " %)";
}

} // namespace hrv
