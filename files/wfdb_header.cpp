// The header of a WFDB record.
#include "files/wfdb_header.h"

#include "files/paths.h"

#include <charconv>
#include <cmath>

namespace hrv {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The fields of a line separated by blanks; `rest` gets the text from field `restFrom` on
// (the description, which may hold blanks).
std::vector<std::string_view> Fields(std::string_view line, std::size_t restFrom,
                                     std::string_view& rest) {
    std::vector<std::string_view> fields;
    rest = {};
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i == line.size()) {
            break;
        }
        if (fields.size() == restFrom) {
            std::size_t end = line.size();
            while (end > i && IsBlank(line[end - 1])) {
                --end;
            }
            rest = line.substr(i, end - i);
            break;
        }
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

template <class T> bool ParseWhole(std::string_view s, T& value) {
    if (s.empty()) {
        return false;
    }
    if (s.front() == '+') {
        s.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

bool ParseFinite(std::string_view s, double& value) {
    return ParseWhole(s, value) && std::isfinite(value);
}

// The leading number of `s` (a double), the rest left in `s`.
bool TakeNumber(std::string_view& s, double& value) {
    std::size_t n = 0;
    while (n < s.size() && s[n] != '(' && s[n] != '/') {
        ++n;
    }
    if (!ParseFinite(s.substr(0, n), value)) {
        return false;
    }
    s.remove_prefix(n);
    return true;
}

class HeaderParser {
public:
    explicit HeaderParser(const std::string& path) : path_(path) {}

    [[noreturn]] void Fail(const std::string& fault) const { throw SignalFault(path_, fault); }
    [[noreturn]] void BadField(int line, std::string_view what, std::string_view field) const {
        Fail("строка " + std::to_string(line) + " заголовка WFDB: неверное поле " +
             std::string(what) + " «" + std::string(field.substr(0, 40)) + "»");
    }

    void RecordLine(int line, std::string_view text, WfdbHeader& h) const {
        std::string_view rest;
        const auto f = Fields(text, 6, rest);
        if (f.size() < 2) {
            Fail("строка " + std::to_string(line) +
                 " заголовка WFDB: в строке записи нет числа сигналов");
        }
        std::string_view name = f[0];
        if (name.find('/') != std::string_view::npos) {
            Fail("многосегментные записи WFDB («" + std::string(name.substr(0, 40)) +
                 "») не поддерживаются");
        }
        h.name = std::string(name);
        int count = 0;
        if (!ParseWhole(f[1], count) || count < 0) {
            BadField(line, "числа сигналов", f[1]);
        }
        if (count > kWfdbMaxSignals) {
            Fail("заявлено сигналов: " + std::to_string(count) + ", больше " +
                 std::to_string(kWfdbMaxSignals) + " не принимается");
        }
        signalCount_ = count;
        if (f.size() > 2) {
            Rate(line, f[2], h);
        }
        if (f.size() > 3) {
            std::int64_t frames = 0;
            if (!ParseWhole(f[3], frames) || frames < 0) {
                BadField(line, "длины записи", f[3]);
            }
            h.frames = frames;
        }
        if (f.size() > 4) {
            Time(line, f[4], h.start);
        }
        if (f.size() > 5) {
            Date(line, f[5], h.start);
        }
    }

    // "360", "360/3600", "360/3600(12)".
    void Rate(int line, std::string_view field, WfdbHeader& h) const {
        std::string_view s = field;
        double rate = 0;
        if (!TakeNumber(s, rate)) {
            BadField(line, "частоты", field);
        }
        if (!(rate > 0) || rate > 1e9) {
            Fail("частота дискретизации " + std::string(field.substr(0, 40)) +
                 " в заголовке WFDB: она должна быть больше нуля");
        }
        h.frameRate = rate;
        if (!s.empty() && s.front() == '/') {
            s.remove_prefix(1);
            const std::size_t open = s.find('(');
            double counter = 0;
            if (!ParseFinite(s.substr(0, open), counter) || !(counter > 0)) {
                BadField(line, "частоты счётчика", field);
            }
            h.counterFrequency = counter;
            s = open == std::string_view::npos ? std::string_view() : s.substr(open);
        }
        if (!s.empty()) {
            if (s.front() != '(' || s.back() != ')' ||
                !ParseFinite(s.substr(1, s.size() - 2), h.baseCounter)) {
                BadField(line, "частоты", field);
            }
        }
    }

    // "hh:mm:ss", "mm:ss" or "ss", each with an optional fraction of a second.
    void Time(int line, std::string_view field, RecordStart& start) const {
        int parts[2] = {0, 0};
        int count = 0;
        std::string_view s = field;
        std::size_t colon = 0;
        while ((colon = s.find(':')) != std::string_view::npos) {
            if (count == 2 || !ParseWhole(s.substr(0, colon), parts[count]) || parts[count] < 0) {
                BadField(line, "времени начала", field);
            }
            ++count;
            s.remove_prefix(colon + 1);
        }
        double second = 0;
        if (!ParseFinite(s, second) || second < 0 || second >= 60) {
            BadField(line, "времени начала", field);
        }
        start.hour = count == 2 ? parts[0] : 0;
        start.minute = count == 2 ? parts[1] : (count == 1 ? parts[0] : 0);
        start.second = second;
        if (start.hour > 23 || start.minute > 59) {
            BadField(line, "времени начала", field);
        }
        start.hasTime = true;
    }

    // "dd/mm/yyyy".
    void Date(int line, std::string_view field, RecordStart& start) const {
        const std::size_t a = field.find('/');
        const std::size_t b = a == std::string_view::npos ? a : field.find('/', a + 1);
        if (b == std::string_view::npos || !ParseWhole(field.substr(0, a), start.day) ||
            !ParseWhole(field.substr(a + 1, b - a - 1), start.month) ||
            !ParseWhole(field.substr(b + 1), start.year) || start.day < 1 || start.day > 31 ||
            start.month < 1 || start.month > 12) {
            BadField(line, "даты начала", field);
        }
        start.hasDate = true;
    }

    void SignalLine(int line, std::string_view text, WfdbHeader& h) const {
        std::string_view rest;
        const auto f = Fields(text, 8, rest);
        WfdbSignalSpec s;
        if (f.size() < 2) {
            Fail("строка " + std::to_string(line) +
                 " заголовка WFDB: у сигнала нет имени файла и формата");
        }
        s.fileName = std::string(f[0]);
        if (s.fileName == "-") {
            Fail("сигналы со стандартного ввода («-») не читаются");
        }
        Format(line, f[1], s);
        if (f.size() > 4 && !ParseWhole(f[4], s.adcZero)) {
            BadField(line, "нуля АЦП", f[4]);
        }
        s.baseline = s.adcZero;
        s.initialValue = s.adcZero;
        if (f.size() > 2) {
            Gain(line, f[2], s);
        }
        if (f.size() > 3 &&
            (!ParseWhole(f[3], s.adcResolution) || s.adcResolution < 0 || s.adcResolution > 32)) {
            BadField(line, "разрядности АЦП", f[3]);
        }
        if (f.size() > 5 && !ParseWhole(f[5], s.initialValue)) {
            BadField(line, "начального значения", f[5]);
        }
        if (f.size() > 6) {
            if (!ParseWhole(f[6], s.checksum)) {
                BadField(line, "контрольной суммы", f[6]);
            }
            s.hasChecksum = true;
        }
        if (f.size() > 7 && (!ParseWhole(f[7], s.blockSize) || s.blockSize < 0)) {
            BadField(line, "размера блока", f[7]);
        }
        s.description = std::string(rest);
        h.signals.push_back(std::move(s));
    }

    // "212", "212x4", "212:4", "16+24", in that order.
    void Format(int line, std::string_view field, WfdbSignalSpec& s) const {
        std::size_t n = 0;
        while (n < field.size() && field[n] >= '0' && field[n] <= '9') {
            ++n;
        }
        if (!ParseWhole(field.substr(0, n), s.format)) {
            BadField(line, "формата", field);
        }
        std::string_view rest = field.substr(n);
        const auto part = [&](char mark, std::int64_t& value, std::int64_t most) {
            if (rest.empty() || rest.front() != mark) {
                return;
            }
            std::size_t k = 1;
            while (k < rest.size() && rest[k] >= '0' && rest[k] <= '9') {
                ++k;
            }
            if (!ParseWhole(rest.substr(1, k - 1), value) || value < 0 || value > most) {
                BadField(line, "формата", field);
            }
            rest.remove_prefix(k);
        };
        std::int64_t spf = 1;
        part('x', spf, kWfdbMaxSamplesPerFrame);
        part(':', s.skew, std::int64_t{1} << 40);
        part('+', s.byteOffset, std::int64_t{1} << 50);
        if (!rest.empty() || spf < 1) {
            BadField(line, "формата", field);
        }
        s.samplesPerFrame = static_cast<int>(spf);
        switch (s.format) {
        case 8:
        case 16:
        case 24:
        case 32:
        case 61:
        case 80:
        case 160:
        case 212:
        case 310:
        case 311:
            return;
        case 508:
        case 516:
        case 524:
            Fail("сигнал в формате " + std::to_string(s.format) +
                 " (сжатие FLAC): этот формат WFDB не поддерживается");
        default:
            Fail("формат сигнала WFDB " + std::to_string(s.format) + " не поддерживается");
        }
    }

    // "200", "200(0)", "200(0)/mV", "200/mV"; 0 means uncalibrated.
    void Gain(int line, std::string_view field, WfdbSignalSpec& s) const {
        std::string_view rest = field;
        double gain = 0;
        if (!TakeNumber(rest, gain)) {
            BadField(line, "усиления", field);
        }
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            double baseline = 0;
            if (close == std::string_view::npos ||
                !ParseFinite(rest.substr(1, close - 1), baseline)) {
                BadField(line, "усиления", field);
            }
            s.baseline = baseline;
            rest.remove_prefix(close + 1);
        }
        if (!rest.empty()) {
            if (rest.front() != '/' || rest.size() == 1) {
                BadField(line, "усиления", field);
            }
            s.unit = std::string(rest.substr(1));
        }
        s.gainGiven = gain != 0;
        s.gain = gain != 0 ? gain : kWfdbDefaultGain;
    }

    mutable int signalCount_ = 0; // from the record line

private:
    const std::string& path_;
};

} // namespace

WfdbHeader ParseWfdbHeader(std::string_view text, const std::string& path) {
    HeaderParser p(path);
    WfdbHeader h;
    bool haveRecord = false;
    int line = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view s = text.substr(at, end - at);
        at = end + 1;
        ++line;
        std::size_t first = 0;
        while (first < s.size() && IsBlank(s[first])) {
            ++first;
        }
        s.remove_prefix(first);
        while (!s.empty() && IsBlank(s.back())) {
            s.remove_suffix(1);
        }
        if (s.empty()) {
            continue;
        }
        if (s.front() == '#') {
            h.comments.emplace_back(s.substr(1));
            continue;
        }
        if (s.find('\0') != std::string_view::npos) {
            p.Fail("это не заголовок записи WFDB: в строке " + std::to_string(line) +
                   " двоичные данные");
        }
        if (!haveRecord) {
            p.RecordLine(line, s, h);
            haveRecord = true;
        } else if (static_cast<int>(h.signals.size()) < p.signalCount_) {
            p.SignalLine(line, s, h);
        }
        // Lines after the signals (info strings of some writers) are left as they are.
    }
    if (!haveRecord) {
        p.Fail("это не заголовок записи WFDB: нет строки записи");
    }
    if (static_cast<int>(h.signals.size()) < p.signalCount_) {
        p.Fail("в заголовке WFDB заявлено сигналов: " + std::to_string(p.signalCount_) +
               ", описано: " + std::to_string(h.signals.size()));
    }
    return h;
}

WfdbHeader ReadWfdbHeader(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path, kWfdbHeaderLimit + 1);
    if (bytes.size() > kWfdbHeaderLimit) {
        throw SignalFault(path, "слишком большой для заголовка записи WFDB");
    }
    return ParseWfdbHeader(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
}

std::string WfdbHeaderPath(const std::string& path) {
    const std::string extension = ExtensionOfPath(path);
    if (extension == "hea") {
        return path;
    }
    if (extension.empty()) {
        return path + ".hea";
    }
    return path.substr(0, path.size() - extension.size()) + "hea";
}

std::string FolderOfPath(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

} // namespace hrv
