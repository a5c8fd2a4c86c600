// rvx-cli analyze --format text: the results of a file as a person at a terminal reads them.
#include "cli/text_output.h"

#include "analysis/nonlinear.h"
#include "presentation/format_fixed.h"
#include "presentation/panel_texts.h"

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

} // namespace

std::string TextResult(const std::string& path, const FragmentData& f, std::string_view error,
                       char separator, bool nonlinear) {
    std::string out = path + "\n";
    if (!error.empty()) {
        return out + std::string(error) + "\n\n";
    }
    out += PanelLines(StatPanelText(f, separator)) + "\n" +
           PanelLines(SpecPanelText(f, separator)) + "\n";
    if (nonlinear) {
        out += PanelLines(NonlinearText(f, separator)) + "\n";
    }
    return out;
}

} // namespace hrv::cli
