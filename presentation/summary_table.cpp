// The summary table "rvx.txt": one tab-separated line of results per fragment.
#include "presentation/summary_table.h"

#include "files/cp1251.h"
#include "files/file_io.h"
#include "presentation/format_fixed.h"
#include "presentation/messages.h"
#include "presentation/standard_texts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_set>
#include <vector>

namespace hrv {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (!NextUtf8(text, i)) {
            return false;
        }
    }
    return true;
}

// Finds lines whose first field is `wanted` in a table fed to it piece by piece.
class FirstFieldMatcher {
public:
    explicit FirstFieldMatcher(std::string wanted) : wanted_(std::move(wanted)) {}

    void Feed(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) {
            Take(b);
        }
    }
    // True once a line with the identity has been seen (the last line counts without its end).
    bool Found() {
        if (inLine_ && inField_) {
            EndField(); // a last line without its line end; a CR before the end is not text
            inLine_ = false;
        }
        return found_;
    }

private:
    void Take(std::uint8_t b) {
        if (b == '\n') {
            if (inField_) {
                EndField();
            }
            inField_ = true;
            inLine_ = false;
            pendingCr_ = false;
            matched_ = 0;
            mismatch_ = false;
            return;
        }
        inLine_ = true;
        if (!inField_) {
            return;
        }
        if (pendingCr_) {
            pendingCr_ = false;
            Compare('\r'); // a CR inside the field, not the start of its line end
        }
        if (b == '\t') {
            EndField();
            inField_ = false;
        } else if (b == '\r') {
            pendingCr_ = true;
        } else {
            Compare(b);
        }
    }
    void Compare(std::uint8_t b) {
        if (!mismatch_ && matched_ < wanted_.size() &&
            static_cast<std::uint8_t>(wanted_[matched_]) == b) {
            ++matched_;
        } else {
            mismatch_ = true;
        }
    }
    void EndField() {
        if (!mismatch_ && matched_ == wanted_.size()) {
            found_ = true;
        }
    }

    std::string wanted_;
    std::size_t matched_ = 0;
    bool mismatch_ = false;
    bool inField_ = true;
    bool inLine_ = false;
    bool pendingCr_ = false;
    bool found_ = false;
};

// Keeps the first line of a table fed to it piece by piece, up to a length no table line of
// this program's exceeds, to tell a summary table from any other file.
class FirstLine {
public:
    void Feed(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) {
            if (ended_) {
                return;
            }
            if (b == '\n') {
                ended_ = true;
            } else if (text_.size() < kLimit) {
                text_ += static_cast<char>(b);
            } else {
                tooLong_ = true;
            }
        }
    }
    // True when nothing was fed, or the first line is the header or a record of its width.
    bool OfATable(const std::string& header) const {
        if (text_.empty() && !ended_) {
            return true; // an empty file takes the record as its line 1
        }
        std::string_view line = text_;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const auto tabs = std::count(header.begin(), header.end(), '\t');
        return !tooLong_ && (line == header || std::count(line.begin(), line.end(), '\t') == tabs);
    }

private:
    static constexpr std::size_t kLimit = 4096;
    std::string text_;
    bool ended_ = false;
    bool tooLong_ = false;
};

// Notes which of a set of identities (their table bytes) a table fed to it piece by piece holds
// as the first field of a line, as FirstFieldMatcher finds one.
class FirstFieldsSeen {
public:
    explicit FirstFieldsSeen(std::unordered_set<std::string> wanted) : wanted_(std::move(wanted)) {
        for (const std::string& w : wanted_) {
            longest_ = std::max(longest_, w.size());
        }
    }

    void Feed(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) {
            if (b == '\n') {
                EndLine();
            } else if (!inField_) {
                continue;
            } else if (b == '\t') {
                EndField();
            } else if (field_.size() <= longest_ + 1) { // one more: a CR before the line end
                field_ += static_cast<char>(b);
                inLine_ = true;
            }
        }
    }
    // The identities seen (a last line counts without its line end).
    const std::unordered_set<std::string>& Seen() {
        if (inLine_) {
            EndLine();
        }
        return seen_;
    }

private:
    void EndLine() {
        if (inField_) {
            if (field_.ends_with('\r')) {
                field_.pop_back(); // the CR of the line end is not text
            }
            EndField();
        }
        inField_ = true;
        inLine_ = false;
    }
    void EndField() {
        if (wanted_.contains(field_)) {
            seen_.insert(field_);
        }
        field_.clear();
        inField_ = false;
    }

    std::unordered_set<std::string> wanted_;
    std::unordered_set<std::string> seen_;
    std::size_t longest_ = 0;
    std::string field_;
    bool inField_ = true;
    bool inLine_ = false;
};

} // namespace

std::string SummaryTablePath(const std::string& appDir) {
    return appDir + "/" + std::string(kSummaryTableFileName);
}

std::string SummaryTableHeader() {
    return "Файл\tSDNN, мс\tRMSSD, мс\tNN50, мс\tHRVind\tTINN, мс\tModa, мс\tAMo, %\tDX, мс\t"
           "HR, уд/мин\tVLF, мс2\tLF, мс2\tHF, мс2\tTotalPower, мс2\tLF norm, %\tHF norm, %\t"
           "LF/HF";
}

std::string SummaryTableIdentity(std::string_view identity) {
    std::string out;
    std::size_t i = 0;
    while (i < identity.size()) {
        const char32_t c = NextUtf8(identity, i).value_or(U'\uFFFD');
        const bool escapeIntroducer = c == '&' && i < identity.size() && identity[i] == '#';
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F); // C0, DEL and C1
        if (control || escapeIntroducer || !Cp1251Byte(c)) {
            out += "&#" + IntegerText(static_cast<std::int64_t>(c)) + ";";
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string SummaryRowIdentity(std::string_view identity, const FragmentData& f) {
    std::string out(identity);
    if (f.Corrected) {
        out += " (коррекция)";
    }
    return out;
}

std::string SummaryTableRow(std::string_view identity, const FragmentData& f,
                            char decimalSeparator) {
    const auto& t = f.TimeIndices;
    const auto& s = f.SpectralIndices;
    const auto real = [decimalSeparator](double v, int decimals) {
        return FormatFixed(v, decimals, decimalSeparator);
    };
    const std::string fields[] = {
        SummaryTableIdentity(identity), // Файл
        real(t.SDNN, 2),                // SDNN, мс
        real(t.RMSSD, 2),               // RMSSD, мс
        real(t.NN50, 2),                // NN50: the count, not the percentage
        IntegerText(t.HRVind),          // HRVind
        IntegerText(t.TINN),            // TINN, мс
        IntegerText(ModeMs(t)),         // Moda, мс
        IntegerText(t.AMo),             // AMo, %
        IntegerText(RangeMs(t)),        // DX, мс
        IntegerText(t.HR),              // HR, уд/мин
        real(s.VLF, 0),                 // VLF, мс2
        real(s.LF, 0),                  // LF, мс2
        real(s.HF, 0),                  // HF, мс2
        real(s.Total, 0),               // TotalPower, мс2
        real(s.LFnorm, 2),              // LF norm, %
        real(s.HFnorm, 2),              // HF norm, %
        real(s.LFHF, 2),                // LF/HF
    };
    std::string row = fields[0];
    for (std::size_t i = 1; i < std::size(fields); ++i) {
        row += '\t';
        row += fields[i];
    }
    return row;
}

bool SummaryTableHasIdentity(std::span<const std::uint8_t> table, std::string_view identity) {
    FirstFieldMatcher matcher(Utf8ToCp1251(SummaryTableIdentity(identity)));
    matcher.Feed(table);
    return matcher.Found();
}

SummaryAppend AppendSummaryRow(const std::string& path, std::string_view identity,
                               const FragmentData& f, char decimalSeparator,
                               const LockNotice& notice) {
    return AppendSummaryRecord(path, identity, SummaryTableRow(identity, f, decimalSeparator),
                               notice);
}

SummaryAppend AppendSummaryRecord(const std::string& path, std::string_view identity,
                                  const std::string& row, const LockNotice& notice) {
    const SummaryRecord record{std::string(identity), row};
    return AppendSummaryRecords(path, std::span(&record, 1), notice).front();
}

namespace {

// The rows of a table whose first line is `header` (UTF-8), as AppendSummaryRecords describes.
std::vector<SummaryAppend> AppendTableRecords(const std::string& path, const std::string& header,
                                              std::span<const SummaryRecord> records,
                                              const LockNotice& notice) {
    std::vector<std::string> fields; // each row's identity as the table holds it
    std::unordered_set<std::string> wanted;
    for (const SummaryRecord& r : records) {
        if (!IsUtf8(r.identity)) {
            throw FileIoError("Ошибка ввода-вывода: не удалось записать файл " + path +
                              " (имя записи не является текстом UTF-8)");
        }
        fields.push_back(Utf8ToCp1251(SummaryTableIdentity(r.identity)));
        wanted.insert(fields.back());
    }
    if (records.empty()) {
        return {};
    }
    // The rows that go in, given what the table holds: each identity once.
    std::vector<SummaryAppend> results(records.size(), SummaryAppend::AlreadySaved);
    const auto newRows = [&](const std::unordered_set<std::string>& held) {
        std::unordered_set<std::string> taken = held;
        std::string piece;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (taken.insert(fields[i]).second) {
                results[i] = SummaryAppend::Added;
                piece += Utf8ToCp1251(records[i].row) + std::string(kLineEnd);
            } else {
                results[i] = SummaryAppend::AlreadySaved;
            }
        }
        return piece;
    };
    // A table created meanwhile by another program is then appended to; the attempts end when a
    // table keeps vanishing, which the file layer reports.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto table = LockedAppendFile::Open(path, notice);
        if (!table) {
            const std::string image = Utf8ToCp1251(header) + std::string(kLineEnd) + newRows({});
            if (CreateFileExclusive(path, Bytes(image))) {
                return results;
            }
            continue;
        }
        FirstFieldsSeen seen(wanted);
        FirstLine firstLine;
        std::array<std::uint8_t, 65536> buffer{};
        std::uint8_t last = '\n'; // an empty table needs no line end first
        for (std::size_t n; (n = table->Read(buffer)) > 0;) {
            seen.Feed(std::span(buffer.data(), n));
            firstLine.Feed(std::span(buffer.data(), n));
            last = buffer[n - 1];
        }
        if (!firstLine.OfATable(Utf8ToCp1251(header))) {
            throw FileIoError(msg::NotASummaryTable(path));
        }
        const std::string rows = newRows(seen.Seen());
        if (rows.empty()) {
            return results;
        }
        std::string piece;
        if (last != '\n') {
            // The last line was left without its line end: finish it so the rows start a line.
            piece = last == '\r' ? "\n" : std::string(kLineEnd);
        }
        table->Append(Bytes(piece + rows));
        return results;
    }
    throw FileIoError("Ошибка ввода-вывода: не удалось записать файл " + path +
                      " (файл удаляется и создаётся снова)");
}

} // namespace

std::vector<SummaryAppend> AppendSummaryRecords(const std::string& path,
                                                std::span<const SummaryRecord> records,
                                                const LockNotice& notice) {
    return AppendTableRecords(path, SummaryTableHeader(), records, notice);
}

std::string StandardTablePath(const std::string& summaryTablePath) {
    const std::size_t folder = summaryTablePath.find_last_of("/\\");
    const std::size_t name = folder == std::string::npos ? 0 : folder + 1;
    const std::size_t dot = summaryTablePath.rfind('.');
    if (dot == std::string::npos || dot <= name) {
        return summaryTablePath + "_std";
    }
    return summaryTablePath.substr(0, dot) + "_std" + summaryTablePath.substr(dot);
}

std::string StandardTableHeader() {
    std::string header = "Файл\tПараметры\tMean RR, мс\tSDNN, мс\tRMSSD, мс\tSDSD, мс\tNNxx\t"
                         "pNNxx, %\tMean HR, уд/мин\tSD HR, уд/мин\tMin HR, уд/мин\t"
                         "Max HR, уд/мин\tSD1, мс\tSD2, мс\tSDANN, мс\tSDNN index, мс";
    for (const std::string& spectrum : StandardSpectrumNames()) {
        for (const char* band :
             {"VLF, мс2", "LF, мс2", "HF, мс2", "LF norm, n.u.", "HF norm, n.u.", "LF/HF"}) {
            header += '\t';
            header += band;
            header += " (" + spectrum + ")";
        }
    }
    return header;
}

std::string StandardTableRow(std::string_view identity, const standard::Result& r,
                             char decimalSeparator) {
    // An undefined value ("—" on the page) is an empty field, which a spreadsheet takes as none.
    const auto field = [](const std::string& value) {
        return value == kStandardUndefined ? std::string() : value;
    };
    std::string row = SummaryTableIdentity(identity);
    row += '\t';
    row += StandardSettingsText(r.Used, decimalSeparator);
    for (const StandardValue& v : StandardTimeValues(r, decimalSeparator)) {
        row += '\t';
        row += field(v.value);
    }
    const std::vector<StandardBandRow> bands = StandardBandRows(r, decimalSeparator, true);
    for (std::size_t spectrum = 0; spectrum < 3; ++spectrum) {
        for (const StandardBandRow& band : bands) {
            row += '\t';
            row += field(band.values[spectrum]);
        }
    }
    return row;
}

std::vector<SummaryAppend> AppendStandardRecords(const std::string& path,
                                                 std::span<const SummaryRecord> records,
                                                 const LockNotice& notice) {
    return AppendTableRecords(path, StandardTableHeader(), records, notice);
}

} // namespace hrv
