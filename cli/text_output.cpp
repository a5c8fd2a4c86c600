// rvx-cli analyze --format text: the results of a file as a person at a terminal reads them.
#include "cli/text_output.h"

#include "presentation/panel_texts.h"

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

} // namespace

std::string TextResult(const std::string& path, const FragmentData& f, std::string_view error,
                       char separator) {
    std::string out = path + "\n";
    if (!error.empty()) {
        return out + std::string(error) + "\n\n";
    }
    return out + PanelLines(StatPanelText(f, separator)) + "\n" +
           PanelLines(SpecPanelText(f, separator)) + "\n";
}

} // namespace hrv::cli
