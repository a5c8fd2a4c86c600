// The RR list: a text file of RR intervals in milliseconds.
#include "files/rr_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <utility>

namespace hrv {

namespace {

constexpr std::size_t kTextLimit = 16 * 1024 * 1024; // bytes; beyond 1,000,000 intervals

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A character of a line of numbers: digits, decimal marks and separators.
bool IsNumberChar(char c) {
    return IsDigit(c) || c == '.' || c == ',' || c == ';' || IsBlank(c);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The lines of the text without their ends (LF, CR LF or CR), after a UTF-8 byte order mark.
std::vector<std::string_view> Lines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

bool HasDigit(std::string_view line) {
    return std::any_of(line.begin(), line.end(), IsDigit);
}

bool IsNumberLine(std::string_view line) {
    return HasDigit(line) && std::all_of(line.begin(), line.end(), IsNumberChar);
}

// An integer of three or four digits: a plausible interval in milliseconds.
bool IsIntervalInteger(std::string_view s) {
    return (s.size() == 3 || s.size() == 4) && std::all_of(s.begin(), s.end(), IsDigit);
}

// A line that is two such integers and one comma alone ("700,900"): two intervals rather than
// 700.9 ms.
bool IsIntervalPair(std::string_view line) {
    const std::size_t comma = line.find(',');
    return comma != std::string_view::npos && IsIntervalInteger(line.substr(0, comma)) &&
           IsIntervalInteger(line.substr(comma + 1));
}

// A comma between two digits in this line.
bool HasCommaBetweenDigits(std::string_view line) {
    for (std::size_t i = 1; i + 1 < line.size(); ++i) {
        if (line[i] == ',' && IsDigit(line[i - 1]) && IsDigit(line[i + 1])) {
            return true;
        }
    }
    return false;
}

enum class CommaRole {
    Decimal,  // a comma between two digits marks decimals
    Separate, // every comma separates intervals: a point or a line of several commas says so
    Pairs,    // only lines of two intervals ("700,900") say so: any other comma between digits
              // could be read either way
};

// What commas are in this list (see rr_text.h).
CommaRole CommaRoleOf(const std::vector<std::string_view>& lines) {
    bool pairs = false;
    for (const std::string_view raw : lines) {
        const std::string_view line = Trim(raw);
        if (!IsNumberLine(line)) {
            continue;
        }
        if (line.find('.') != std::string_view::npos) {
            return CommaRole::Separate;
        }
        const auto commas = std::count(line.begin(), line.end(), ',');
        if (commas >= 2 && line.find_first_of("; \t") == std::string_view::npos) {
            return CommaRole::Separate;
        }
        pairs = pairs || IsIntervalPair(line);
    }
    return pairs ? CommaRole::Pairs : CommaRole::Decimal;
}

// A piece of a line as a message quotes it: control characters (a NUL among them) as \xNN, so
// the message is never cut, and at most 60 bytes.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kMaxShown = 60;
    std::string out = "«";
    std::size_t end = std::min(text.size(), kMaxShown);
    while (end < text.size() && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end; // not inside a UTF-8 character
    }
    for (const char c : text.substr(0, end)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    if (end < text.size()) {
        out += "…";
    }
    return out + "»";
}

// The fields of a line of numbers: split at semicolons, blanks, tabs and separating commas.
std::vector<std::string_view> Fields(std::string_view line, bool commasSeparate) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        bool separator = i == line.size() || line[i] == ';' || IsBlank(line[i]);
        if (!separator && line[i] == ',') {
            const bool decimal = !commasSeparate && i > 0 && IsDigit(line[i - 1]) &&
                                 i + 1 < line.size() && IsDigit(line[i + 1]);
            separator = !decimal;
        }
        if (separator) {
            if (i > start) {
                fields.push_back(line.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return fields;
}

enum class FieldResult { Ticks, NotANumber, OutOfRange };

// Milliseconds as written (digits, with one decimal mark and digits after it) to 10 ms ticks,
// rounded to nearest with ties to even, exactly.
FieldResult FieldTicks(std::string_view field, bool commasSeparate, int& ticks) {
    const std::size_t mark = field.find_first_of(commasSeparate ? "." : ".,");
    const std::string_view whole = field.substr(0, mark);
    const std::string_view fraction =
        mark == std::string_view::npos ? std::string_view() : field.substr(mark + 1);
    const bool digitsOnly = std::all_of(whole.begin(), whole.end(), IsDigit) &&
                            std::all_of(fraction.begin(), fraction.end(), IsDigit);
    if (whole.empty() || !digitsOnly || (mark != std::string_view::npos && fraction.empty())) {
        return FieldResult::NotANumber;
    }
    const std::string_view significant =
        whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    if (significant.size() > 5) {
        return FieldResult::OutOfRange; // 100 s or more
    }
    int ms = 0;
    for (const char c : significant) {
        ms = ms * 10 + (c - '0');
    }
    ticks = ms / 10;
    const int lastDigit = ms % 10;
    const bool fractionNonZero =
        std::any_of(fraction.begin(), fraction.end(), [](char c) { return c != '0'; });
    if (lastDigit > 5 || (lastDigit == 5 && (fractionNonZero || ticks % 2 == 1))) {
        ++ticks;
    }
    return ticks >= 1 && ticks <= 255 ? FieldResult::Ticks : FieldResult::OutOfRange;
}

RrTextResult Rejected(int line, std::string error) {
    RrTextResult r;
    r.errorLine = line;
    r.error = std::move(error);
    return r;
}

// A table of two columns, an index and the interval: a header line of two names, one comma
// between them, the last with a letter ("index,rr" or ",rr"), then lines "INDEX,MS" alone, the
// indices counting up by one. Taken only where the list is rejected otherwise; empty when the
// text is not of that shape or an interval cannot be taken.
std::optional<RrTextResult> IndexedTable(const std::vector<std::string_view>& lines) {
    std::size_t n = 0;
    while (n < lines.size() && Trim(lines[n]).empty()) {
        ++n;
    }
    if (n == lines.size()) {
        return std::nullopt;
    }
    const std::string_view header = Trim(lines[n]);
    const std::size_t comma = header.find(',');
    if (comma == std::string_view::npos || header.find(',', comma + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view last = header.substr(comma + 1);
    if (!std::any_of(last.begin(), last.end(),
                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; })) {
        return std::nullopt;
    }
    RrTextResult result;
    long long expected = -1;
    for (++n; n < lines.size(); ++n) {
        const std::string_view line = Trim(lines[n]);
        if (line.empty()) {
            continue;
        }
        const std::size_t at = line.find(',');
        if (at == std::string_view::npos || at == 0 ||
            line.find_first_of(",; \t", at + 1) != std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view index = line.substr(0, at);
        long long value = 0;
        const auto parsed = std::from_chars(index.data(), index.data() + index.size(), value);
        if (parsed.ec != std::errc() || parsed.ptr != index.data() + index.size() ||
            (expected >= 0 && value != expected)) {
            return std::nullopt;
        }
        expected = value + 1;
        const std::string_view field = line.substr(at + 1);
        int ticks = 0;
        if (FieldTicks(field, true, ticks) != FieldResult::Ticks) {
            return std::nullopt;
        }
        double ms = 0;
        std::from_chars(field.data(), field.data() + field.size(), ms);
        result.ticks.push_back(static_cast<std::uint8_t>(ticks));
        result.ms.push_back(ms);
    }
    if (result.ticks.empty()) {
        return std::nullopt;
    }
    return result;
}

RrTextResult ParseList(const std::vector<std::string_view>& lines);

} // namespace

RrTextResult ParseRrText(std::string_view text) {
    const std::vector<std::string_view> lines = Lines(text);
    RrTextResult list = ParseList(lines);
    if (!list.error.empty()) {
        if (std::optional<RrTextResult> table = IndexedTable(lines)) {
            return std::move(*table);
        }
    }
    return list;
}

namespace {

RrTextResult ParseList(const std::vector<std::string_view>& lines) {
    const CommaRole commas = CommaRoleOf(lines);
    const bool commasSeparate = commas != CommaRole::Decimal;
    RrTextResult result;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int lineNumber = static_cast<int>(n) + 1;
        const std::string_view line = Trim(lines[n]);
        if (!HasDigit(line)) {
            continue; // blank, or a rule of dashes
        }
        if (!IsNumberLine(line)) {
            if (result.ticks.empty() && std::any_of(line.begin(), line.end(), [](char c) {
                    return !IsNumberChar(c) && (std::isalpha(static_cast<unsigned char>(c)) ||
                                                static_cast<unsigned char>(c) >= 0x80);
                })) {
                continue; // a header line
            }
            return Rejected(lineNumber, Quoted(line) + " не является числом");
        }
        if (commas == CommaRole::Pairs && !IsIntervalPair(line) && HasCommaBetweenDigits(line)) {
            return Rejected(lineNumber, "в " + Quoted(line) +
                                            " запятая может быть и десятичной, и разделителем "
                                            "интервалов, как в других строках");
        }
        for (const std::string_view field : Fields(line, commasSeparate)) {
            int ticks = 0;
            switch (FieldTicks(field, commasSeparate, ticks)) {
            case FieldResult::Ticks: {
                result.ticks.push_back(static_cast<std::uint8_t>(ticks));
                std::string decimal(field);
                std::replace(decimal.begin(), decimal.end(), ',', '.');
                double ms = 0;
                std::from_chars(decimal.data(), decimal.data() + decimal.size(), ms);
                result.ms.push_back(ms);
                break;
            }
            case FieldResult::NotANumber:
                return Rejected(lineNumber, Quoted(field) + " не является числом");
            case FieldResult::OutOfRange:
                return Rejected(lineNumber, "интервал " + std::string(field) +
                                                " мс вне пределов от 10 до 2550 мс");
            }
        }
    }
    if (result.ticks.empty()) {
        return Rejected(0, "нет RR-интервалов");
    }
    return result;
}

RrTextResult ReadList(const std::string& path, std::vector<std::uint8_t>& bytes) {
    ReadFileInto(path, kTextLimit + 1, bytes);
    if (bytes.size() > kTextLimit) {
        throw RrTextError("Файл " + path + ": слишком большой для списка RR-интервалов");
    }
    RrTextResult list =
        ParseRrText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!list.error.empty()) {
        const std::string where =
            list.errorLine > 0 ? ", строка " + std::to_string(list.errorLine) : std::string();
        throw RrTextError("Файл " + path + where + ": " + list.error);
    }
    return list;
}

} // namespace

std::vector<std::uint8_t> ReadRrTextTicks(const std::string& path,
                                          std::vector<std::uint8_t>& bytes) {
    return ReadList(path, bytes).ticks;
}

std::vector<double> ReadRrTextMs(const std::string& path, std::vector<std::uint8_t>& bytes) {
    return ReadList(path, bytes).ms;
}

RrTextResult ReadRrTextList(const std::string& path, std::vector<std::uint8_t>& bytes) {
    return ReadList(path, bytes);
}

void ReadRrText(const std::string& path, FragmentData& f, std::vector<std::uint8_t>& bytes) {
    const std::vector<std::uint8_t> ticks = ReadRrTextTicks(path, bytes);
    const auto count = static_cast<int>(std::min<std::size_t>(ticks.size(), kWordCapacity));
    for (int k = 1; k <= count; ++k) {
        f.RrWords[k] = static_cast<std::uint16_t>(ticks[static_cast<std::size_t>(k - 1)] * 256);
    }
    f.RrCount = count;
}

} // namespace hrv
