// The printed report's page arithmetic and texts.
#include "presentation/report_layout.h"

#include "files/paths.h"
#include "presentation/format_fixed.h"
#include "presentation/messages.h"
#include "presentation/panel_texts.h"
#include "presentation/standard_texts.h"

#include <cstdint>

namespace hrv {

namespace {

// Units of the cells. Three of them carry the Latin letter c after the Cyrillic "м"; the others
// are written with the Cyrillic "с". Both forms appear on the printed page as they stand.
constexpr std::string_view kMsCyrillic = " мс";
constexpr std::string_view kMsLatin = " м"
                                      "c"; // Latin c
constexpr std::string_view kMs2PerHzLatin = " м"
                                            "c"
                                            "2/Гц"; // Latin c
constexpr std::string_view kPercent = " %";
constexpr std::string_view kBeatsPerMinute = " уд/мин";

std::string Cell(std::string_view label, const std::string& value, std::string_view unit = {}) {
    std::string text(label);
    text += value;
    text += unit;
    return text;
}

} // namespace

ReportLayout ComputeReportLayout(int width, int height, int lineHeight, int zeroWidth) {
    ReportLayout l;
    l.x0 = width / 10;
    l.th = lineHeight;
    l.cw = 20 * zeroWidth;
    l.ch = height / 5;
    l.cwid = width - 2 * l.x0;
    l.third = l.cwid / 3;

    int y = height / 30;
    l.top = y;
    y += 4 * l.th; // four empty lines
    l.identificationY = y;
    y += l.th; // the identification line, drawn or not
    l.correctionY = y;
    y += 2 * l.th; // and two empty lines
    for (int r = 0; r < kReportRows; ++r) {
        l.rowY[r] = y + r * l.th;
    }
    for (int c = 0; c < kReportColumns; ++c) {
        l.columnX[c] = l.x0 + c * l.cw;
    }
    y = l.rowY[kReportRows - 1] + 2 * l.th;

    const int split = l.x0 + 2 * l.third; // two thirds left, one third right
    const int right = l.x0 + l.cwid;
    auto& charts = l.charts;
    charts[static_cast<int>(ReportChart::Rhythmogram)] = {l.x0, y, right, y + l.ch};
    y += l.ch + l.th;
    charts[static_cast<int>(ReportChart::Histogram)] = {l.x0, y, split, y + l.ch};
    charts[static_cast<int>(ReportChart::Scattergram)] = {split, y, right, y + l.ch};
    y += l.ch + l.th;
    charts[static_cast<int>(ReportChart::Spectrum)] = {l.x0, y, split, y + l.ch};
    charts[static_cast<int>(ReportChart::Components)] = {split, y, right, y + l.ch};
    return l;
}

ReportCells ReportCellTexts(const FragmentData& f, char decimalSeparator) {
    const auto& t = f.TimeIndices;
    const auto& s = f.SpectralIndices;
    const auto real = [decimalSeparator](double v) { return FormatFixed(v, 2, decimalSeparator); };
    ReportCells c;
    c[0] = {Cell("SDNN ", real(t.SDNN), kMsCyrillic),
            Cell("Moda ", IntegerText(ModeMs(t)), kMsCyrillic),
            Cell("Total ", real(s.Total), kMs2PerHzLatin),
            Cell("LF norm ", real(s.LFnorm), kPercent)};
    c[1] = {Cell("RMSSD ", real(t.RMSSD), kMsLatin), Cell("AMo ", IntegerText(t.AMo), kPercent),
            Cell("VLF ", real(s.VLF), kMs2PerHzLatin), Cell("HF norm ", real(s.HFnorm), kPercent)};
    // The cell labelled NN50 shows the percentage pNN50.
    c[2] = {Cell("NN50 ", real(t.pNN50), kPercent), Cell("DX ", IntegerText(RangeMs(t)), kMsLatin),
            Cell("LF ", real(s.LF), kMs2PerHzLatin), Cell("LF/HF ", real(s.LFHF))};
    c[3] = {Cell("HRVind ", IntegerText(t.HRVind)), Cell("HR ", IntegerText(t.HR), kBeatsPerMinute),
            Cell("HF ", real(s.HF), kMs2PerHzLatin), std::string()};
    c[4] = {Cell("TINN ", IntegerText(t.TINN), kMsCyrillic), std::string(), std::string(),
            std::string()};
    return c;
}

std::string ReportIdentification(const FragmentData& f, std::string_view infoText) {
    if (f.CurrentFileName.empty() || infoText == msg::kNewRecording) {
        return std::string();
    }
    return BaseNameOfPath(f.CurrentFileName) + " " + f.CurrentFileDate;
}

std::string ReportCorrectionLine(const FragmentData& f, char decimalSeparator) {
    if (!f.CorrectionNote.empty()) {
        return f.CorrectionNote;
    }
    return f.Corrected ? CorrectionText(f, decimalSeparator) : std::string();
}

ReportStandard ReportStandardTexts(const standard::Result& r, char decimalSeparator) {
    ReportStandard out;
    out.heading = StandardHeadingText(r);
    out.settings = StandardSettingsText(r.Used, decimalSeparator);
    const std::vector<StandardValue> values = StandardTimeValues(r, decimalSeparator);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const StandardValue& v = values[i];
        const bool unit = !v.unit.empty() && v.value != "—";
        out.time[i / kReportColumns][i % kReportColumns] =
            v.label + " " + v.value + (unit ? " " + v.unit : std::string());
    }
    const std::vector<StandardBandRow> rows = StandardBandRows(r, decimalSeparator, true);
    const std::array<std::string, 3> names = StandardSpectrumNames();
    for (std::size_t c = 0; c < rows.size() && c + 1 < kReportStandardBandColumns; ++c) {
        out.bandHeader[c + 1] = rows[c].label + (rows[c].unit.empty() ? "" : ", " + rows[c].unit);
        for (std::size_t k = 0; k < kReportStandardBandRows; ++k) {
            out.bands[k][0] = names[k];
            out.bands[k][c + 1] = rows[c].values[k];
        }
    }
    return out;
}

ReportStandard ReportStandardError(const std::string& error) {
    ReportStandard out;
    out.heading = kStandardHeading;
    out.error = error;
    return out;
}

ReportStandardLayout ComputeReportStandardLayout(const ReportLayout& l) {
    ReportStandardLayout b;
    int y = l.charts[static_cast<int>(ReportChart::Spectrum)].bottom + 2 * l.th;
    b.headingY = y;
    b.settingsY = y + l.th;
    y += 2 * l.th;
    for (int r = 0; r < kReportStandardTimeRows; ++r) {
        b.timeY[r] = y + r * l.th;
    }
    y += (kReportStandardTimeRows + 1) * l.th;
    b.bandHeaderY = y;
    for (int r = 0; r < kReportStandardBandRows; ++r) {
        b.bandY[r] = y + (r + 1) * l.th;
    }
    for (int c = 0; c < kReportStandardBandColumns; ++c) {
        b.bandX[c] = l.x0 + c * l.cwid / kReportStandardBandColumns;
    }
    b.bottom = y + (kReportStandardBandRows + 1) * l.th;
    return b;
}

} // namespace hrv
