// The summary table "rvx.txt": one tab-separated line of results per fragment, Windows-1251 text
// with CR LF line ends, created with a header line on first use.
#pragma once

#include "analysis/fragment_data.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace hrv {

inline constexpr std::string_view kSummaryTableFileName = "rvx.txt";

// The table beside the program's data: appDir + "/" + "rvx.txt".
std::string SummaryTablePath(const std::string& appDir);

// The header line (UTF-8, without its line end).
std::string SummaryTableHeader();

// The record of the fragment's results: `identity` and the 16 indices joined by tabs (UTF-8,
// without its line end). Reals carry `decimalSeparator`; integers are plain digits.
std::string SummaryTableRow(std::string_view identity, const FragmentData& f,
                            char decimalSeparator);

// True when a line of the table (its Windows-1251 bytes) has `identity` (UTF-8) as its first
// field, the text before the first tab. Lines end with LF or CR LF; the header counts as a line.
bool SummaryTableHasIdentity(std::span<const std::uint8_t> table, std::string_view identity);

enum class SummaryAppend { Added, AlreadySaved };

// The "В отчет" command on the file at `path`: refuses an identity the table holds already;
// otherwise appends the record with its CR LF in one piece (after a CR LF that ends a last line
// left without one). A missing file is created with the header and the record together, so a
// failure never leaves a table without its header. FileIoError when the file layer fails; the
// file is then as it was.
SummaryAppend AppendSummaryRow(const std::string& path, std::string_view identity,
                               const FragmentData& f, char decimalSeparator);

} // namespace hrv
