// The texts of the two result panels.
#include "presentation/panel_texts.h"

#include "presentation/format_fixed.h"

#include <cstdint>

namespace hrv {

std::string StatPanelText(const FragmentData& f, char separator) {
    const TimeIndicesData& t = f.TimeIndices;
    return " SDNN\t" + FormatFixed(t.SDNN, 2, separator) + " мс\r\n" + " RMSSD\t" +
           FormatFixed(t.RMSSD, 2, separator) + " мс\r\n" + " pNN50\t" +
           FormatFixed(t.pNN50, 2, separator) + " %\r\n" + " HRVind\t" + IntegerText(t.HRVind) +
           "\r\n" + " TINN\t" + IntegerText(t.TINN) + " мс\r\n" + " HR\t" + IntegerText(t.HR) +
           " уд/мин\r\n\r\n" + " Moda\t" + IntegerText(ModeMs(t)) + " мс\r\n" + " AMo\t" +
           IntegerText(t.AMo) + " %\r\n" + " DX\t" + IntegerText(RangeMs(t)) + " мс\r\n" + " n\t" +
           IntegerText(f.FragmentCount);
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

} // namespace hrv
