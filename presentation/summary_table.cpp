// The summary table "rvx.txt": one tab-separated line of results per fragment.
#include "presentation/summary_table.h"

#include "files/cp1251.h"
#include "files/file_io.h"
#include "presentation/format_fixed.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace hrv {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

} // namespace

std::string SummaryTablePath(const std::string& appDir) {
    return appDir + "/" + std::string(kSummaryTableFileName);
}

std::string SummaryTableHeader() {
    return "Файл\tSDNN, мс\tRMSSD, мс\tNN50, мс\tHRVind\tTINN, мс\tModa, мс\tAMo, %\tDX, мс\t"
           "HR, уд/мин\tVLF, мс2\tLF, мс2\tHF, мс2\tTotalPower, мс2\tLF norm, %\tHF norm, %\t"
           "LF/HF";
}

std::string SummaryTableRow(std::string_view identity, const FragmentData& f,
                            char decimalSeparator) {
    const auto& t = f.TimeIndices;
    const auto& s = f.SpectralIndices;
    const auto real = [decimalSeparator](double v, int decimals) {
        return FormatFixed(v, decimals, decimalSeparator);
    };
    const std::string fields[] = {
        std::string(identity),   // Файл
        real(t.SDNN, 2),         // SDNN, мс
        real(t.RMSSD, 2),        // RMSSD, мс
        real(t.NN50, 2),         // NN50: the count, not the percentage
        IntegerText(t.HRVind),   // HRVind
        IntegerText(t.TINN),     // TINN, мс
        IntegerText(ModeMs(t)),  // Moda, мс
        IntegerText(t.AMo),      // AMo, %
        IntegerText(RangeMs(t)), // DX, мс
        IntegerText(t.HR),       // HR, уд/мин
        real(s.VLF, 0),          // VLF, мс2
        real(s.LF, 0),           // LF, мс2
        real(s.HF, 0),           // HF, мс2
        real(s.Total, 0),        // TotalPower, мс2
        real(s.LFnorm, 2),       // LF norm, %
        real(s.HFnorm, 2),       // HF norm, %
        real(s.LFHF, 2),         // LF/HF
    };
    std::string row = fields[0];
    for (std::size_t i = 1; i < std::size(fields); ++i) {
        row += '\t';
        row += fields[i];
    }
    return row;
}

bool SummaryTableHasIdentity(std::span<const std::uint8_t> table, std::string_view identity) {
    const std::vector<std::uint8_t> wanted = Bytes(Utf8ToCp1251(identity));
    auto start = table.begin();
    while (start != table.end()) {
        const auto end = std::find(start, table.end(), std::uint8_t{'\n'});
        auto lineEnd = end;
        if (lineEnd != start && *(lineEnd - 1) == '\r') {
            --lineEnd;
        }
        const auto fieldEnd = std::find(start, lineEnd, std::uint8_t{'\t'});
        if (std::equal(start, fieldEnd, wanted.begin(), wanted.end())) {
            return true;
        }
        start = end == table.end() ? end : end + 1;
    }
    return false;
}

SummaryAppend AppendSummaryRow(const std::string& path, std::string_view identity,
                               const FragmentData& f, char decimalSeparator) {
    const std::string record = SummaryTableRow(identity, f, decimalSeparator);
    if (!FileExists(path)) {
        const std::string image = Utf8ToCp1251(SummaryTableHeader() + std::string(kLineEnd) +
                                               record + std::string(kLineEnd));
        WriteFileAtomic(path, Bytes(image));
        return SummaryAppend::Added;
    }
    const std::vector<std::uint8_t> table =
        ReadFileBytes(path, std::numeric_limits<std::size_t>::max());
    if (SummaryTableHasIdentity(table, identity)) {
        return SummaryAppend::AlreadySaved;
    }
    std::string piece;
    if (!table.empty() && table.back() != '\n') {
        // The last line was left without its line end: finish it so the record starts a line.
        piece = table.back() == '\r' ? "\n" : std::string(kLineEnd);
    }
    piece += Utf8ToCp1251(record) + std::string(kLineEnd);
    AppendFileBytes(path, Bytes(piece));
    return SummaryAppend::Added;
}

} // namespace hrv
