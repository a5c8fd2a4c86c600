// The texts of the two result panels.
#include "presentation/panel_texts.h"

#include "presentation/format_fixed.h"

#include <cstdint>

namespace hrv {

namespace {

// Integers as plain decimal digits (the products are formed wide enough never to overflow).
std::string Int(std::int64_t v) {
    return std::to_string(v);
}

} // namespace

std::string StatPanelText(const FragmentData& f, char separator) {
    const TimeIndicesData& t = f.TimeIndices;
    const std::int64_t modaMs = static_cast<std::int64_t>(t.ModeClass) * 10;
    const std::int64_t dxMs = (static_cast<std::int64_t>(t.MaxClass) - t.MinClass) * 10;
    return " SDNN\t" + FormatFixed(t.SDNN, 2, separator) + " мс\r\n" + " RMSSD\t" +
           FormatFixed(t.RMSSD, 2, separator) + " мс\r\n" + " pNN50\t" +
           FormatFixed(t.pNN50, 2, separator) + " %\r\n" + " HRVind\t" + Int(t.HRVind) + "\r\n" +
           " TINN\t" + Int(t.TINN) + " мс\r\n" + " HR\t" + Int(t.HR) + " уд/мин\r\n\r\n" +
           " Moda\t" + Int(modaMs) + " мс\r\n" + " AMo\t" + Int(t.AMo) + " %\r\n" + " DX\t" +
           Int(dxMs) + " мс\r\n" + " n\t" + Int(f.FragmentCount);
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
