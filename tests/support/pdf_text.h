// The text of a PDF file as poppler's pdftotext lays it out, line by line.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hrv::test {

inline bool HavePdfToText() {
    return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

// Lines of `pdftotext -layout`, in page order (top to bottom); empty when it fails.
inline std::vector<std::string> PdfLines(const std::string& pdf) {
    std::vector<std::string> lines;
    const std::string command = "pdftotext -layout '" + pdf + "' - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return lines;
    }
    std::string line;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
        if (c == '\n' || c == '\f') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    ::pclose(pipe);
    return lines;
}

// The pages of a PDF file as poppler's pdfinfo counts them; -1 when it fails.
inline int PdfPageCount(const std::string& pdf) {
    const std::string command = "pdfinfo '" + pdf + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    int pages = -1;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        if (std::sscanf(line, "Pages: %d", &pages) == 1) {
            break;
        }
    }
    ::pclose(pipe);
    return pages;
}

// The first line at or after `from` that holds `text`, with its column; line -1 when none does.
struct TextPlace {
    int line = -1;
    std::size_t column = 0;
};

inline TextPlace FindText(const std::vector<std::string>& lines, const std::string& text,
                          int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); ++i) {
        const auto at = lines[static_cast<std::size_t>(i)].find(text);
        if (at != std::string::npos) {
            return {i, at};
        }
    }
    return {};
}

} // namespace hrv::test
