// rvx-cli analyze --format text: the results of a file as a person at a terminal reads them.
#include "cli/text_output.h"

#include "analysis/nonlinear.h"
#include "presentation/clock_text.h"
#include "presentation/format_fixed.h"
#include "presentation/panel_texts.h"
#include "presentation/standard_texts.h"

#include <algorithm>
#include <optional>

namespace hrv::cli {

namespace {

constexpr std::size_t kValueColumn = 10; // past the longest label, " LF norm"

// A panel's lines (CR LF between them, a tab after each label) with the labels padded.
std::string PanelLines(const std::string& panel) {
    std::string out;
    std::size_t start = 0;
    while (start <= panel.size()) {
        std::size_t end = panel.find("\r\n", start);
        if (end == std::string::npos) {
            end = panel.size();
        }
        std::string line = panel.substr(start, end - start);
        if (const auto tab = line.find('\t'); tab != std::string::npos) {
            line.replace(tab, 1, std::string(tab < kValueColumn ? kValueColumn - tab : 1, ' '));
        }
        out += line + "\n";
        start = end + 2;
    }
    return out;
}

std::string Optional(const std::optional<double>& value, int decimals, char separator) {
    return value ? FormatFixed(*value, decimals, separator) : std::string("-");
}

// The nonlinear indices as a panel's lines.
std::string NonlinearText(const FragmentData& f, char separator) {
    const NonlinearIndices n = ComputeNonlinear(f);
    return " SD1\t" + FormatFixed(n.SD1, 2, separator) + " мс\r\n" + " SD2\t" +
           FormatFixed(n.SD2, 2, separator) + " мс\r\n" + " SD1/SD2\t" +
           Optional(n.SD1SD2, 3, separator) + "\r\n" + " SampEn\t" +
           Optional(n.SampEn, 3, separator) + "\r\n" + " DFA a1\t" +
           Optional(n.DFAAlpha1, 3, separator) + "\r\n" + " DFA a2\t" +
           Optional(n.DFAAlpha2, 3, separator) + "\r\n" + " SI\t" + Optional(n.SI, 1, separator);
}

// The columns of --windows: their width in characters (values right-aligned, the start left).
constexpr std::size_t kStartColumn = 10;
constexpr std::size_t kValueWidth = 9;

// Characters of UTF-8 text (each byte that does not continue a character).
std::size_t Characters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Right(std::string_view text, std::size_t width = kValueWidth) {
    const std::size_t n = Characters(text);
    return std::string(n < width ? width - n : 1, ' ') + std::string(text);
}

std::string Left(std::string_view text) {
    const std::size_t n = Characters(text);
    return std::string(text) + std::string(n < kStartColumn ? kStartColumn - n : 1, ' ');
}

// A label padded to the value column, after the panels' leading blank.
std::string Label(const std::string& label) {
    const std::string text = " " + label;
    const std::size_t n = Characters(text);
    return text + std::string(n < kValueColumn ? kValueColumn - n : 1, ' ');
}

std::string WithUnit(const std::string& value, const std::string& unit) {
    return unit.empty() || value == "—" ? value : value + " " + unit;
}

} // namespace

std::string StandardText(const standard::Result& r, char separator) {
    std::string out =
        StandardHeadingText(r) + "\n " + StandardSettingsText(r.Used, separator) + "\n";
    for (const StandardValue& v : StandardTimeValues(r, separator)) {
        out += Label(v.label) + WithUnit(v.value, v.unit) + "\n";
    }
    constexpr std::size_t kColumn = 11;
    std::string names = Label("");
    for (const std::string& name : StandardSpectrumNames()) {
        names += Right(name, kColumn);
    }
    out += names + "\n";
    for (const StandardBandRow& row : StandardBandRows(r, separator)) {
        std::string line = Label(row.label);
        for (const std::string& value : row.values) {
            line += Right(value, kColumn);
        }
        out += WithUnit(line, row.unit) + "\n";
    }
    return out + "\n";
}

std::string StandardTextError(std::string_view error) {
    return std::string(kStandardHeading) + "\n" + std::string(error) + "\n\n";
}

std::string StandardWindowsHeader(const standard::Settings& s, char separator) {
    std::string nn = FormatFixed(s.NnThresholdMs, 3, '.');
    nn.erase(nn.find_last_not_of('0') + 1);
    if (nn.back() == '.') {
        nn.pop_back();
    }
    const std::string names = Left("Начало") + Right("Mean RR") + Right("SDNN") + Right("RMSSD") +
                              Right("pNN" + nn) + Right("LF") + Right("HF") + Right("LF/HF");
    const std::string units = Left("чч:мм:сс") + Right("мс") + Right("мс") + Right("мс") +
                              Right("%") + Right("мс2") + Right("мс2");
    return std::string(kStandardHeading) + "\n " + StandardSettingsText(s, separator) + "\n" +
           names + "\n" + units + "\n";
}

std::string StandardWindowRow(std::int64_t startTicks, const standard::Result* r,
                              std::string_view error, char separator) {
    std::string row = Left(ClockText(startTicks));
    if (r == nullptr) {
        return row + std::string(error) + "\n";
    }
    const auto value = [separator](const std::optional<double>& v, int decimals) {
        return Right(v ? FormatFixed(*v, decimals, separator) : std::string("—"));
    };
    row += value(r->MeanRR, 1) + value(r->SDNN, 2) + value(r->RMSSD, 2) + value(r->pNNxx, 2);
    if (r->Welch) {
        const standard::BandPowers& b = r->Welch->Bands;
        row += value(b.Lf, 1) + value(b.Hf, 1) + value(b.LfHf, 2);
    } else {
        row += Right("—") + Right("—") + Right("—");
    }
    return row + "\n";
}

std::string TextError(const std::string& path, std::string_view error) {
    return path + "\n" + std::string(error) + "\n\n";
}

std::string WindowsTextHeader(const std::string& path, bool nonlinear) {
    std::string names = Left("Начало") + Right("HR") + Right("SDNN") + Right("RMSSD") +
                        Right("LF") + Right("HF") + Right("LF/HF");
    std::string units = Left("чч:мм:сс") + Right("уд/мин") + Right("мс") + Right("мс") +
                        Right("мс2") + Right("мс2") + Right("");
    if (nonlinear) {
        names += Right("DFA a1");
        units += Right("");
    }
    const auto trimmed = [](std::string line) {
        line.erase(line.find_last_not_of(' ') + 1);
        return line + "\n";
    };
    return path + "\n" + trimmed(names) + trimmed(units);
}

std::string WindowTextRow(std::int64_t startTicks, const FragmentData& f, std::string_view error,
                          char separator, bool nonlinear) {
    std::string row = Left(ClockText(startTicks));
    if (!error.empty()) {
        return row + std::string(error) + "\n";
    }
    const TimeIndicesData& t = f.TimeIndices;
    const SpectralIndicesData& s = f.SpectralIndices;
    row += Right(IntegerText(t.HR)) + Right(FormatFixed(t.SDNN, 2, separator)) +
           Right(FormatFixed(t.RMSSD, 2, separator)) + Right(FormatFixed(s.LF, 0, separator)) +
           Right(FormatFixed(s.HF, 0, separator)) + Right(FormatFixed(s.LFHF, 2, separator));
    if (nonlinear) {
        row += Right(Optional(ComputeNonlinear(f).DFAAlpha1, 3, separator));
    }
    return row + "\n";
}

std::string TextResult(const std::string& path, const FragmentData& f, std::string_view error,
                       char separator, bool nonlinear) {
    if (!error.empty()) {
        return TextError(path, error);
    }
    std::string out = path + "\n";
    out += PanelLines(StatPanelText(f, separator)) + "\n" +
           PanelLines(SpecPanelText(f, separator)) + "\n";
    if (nonlinear) {
        out += PanelLines(NonlinearText(f, separator)) + "\n";
    }
    return out;
}

} // namespace hrv::cli
