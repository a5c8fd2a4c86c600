// The summary table "rvx.txt": one tab-separated line of results per fragment, Windows-1251 text
// with CR LF line ends, created with a header line on first use.
#pragma once

#include "analysis/fragment_data.h"
#include "files/file_io.h"
#include "standard/standard.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hrv {

inline constexpr std::string_view kSummaryTableFileName = "rvx.txt";

// The table beside the program's data: appDir + "/" + "rvx.txt".
std::string SummaryTablePath(const std::string& appDir);

// The header line (UTF-8, without its line end).
std::string SummaryTableHeader();

// The identity as the table's first field (UTF-8): each character that Windows-1251 cannot hold,
// each control character (C0 such as tab and line breaks, DEL, C1 U+0080..U+009F) and the '&' of a
// "&#" in the name is written as
// "&#N;" with N its decimal code point ("Hélène" gives "H&#233;l&#232;ne"), so a row is always one
// line of 17 fields and two different identities never give the same field. Bytes that are not
// well-formed UTF-8 become U+FFFD first (AppendSummaryRow refuses such an identity).
std::string SummaryTableIdentity(std::string_view identity);

// The identity of a fragment's row: `identity` as it stands, with " (коррекция)" after it when
// the fragment's results come from a corrected series (f.Corrected), so that the corrected and
// the uncorrected analysis of one file are two rows of the table.
std::string SummaryRowIdentity(std::string_view identity, const FragmentData& f);

// The record of the fragment's results: SummaryTableIdentity(identity) and the 16 indices joined
// by tabs (UTF-8, without its line end). Reals carry `decimalSeparator`; integers are plain
// digits.
std::string SummaryTableRow(std::string_view identity, const FragmentData& f,
                            char decimalSeparator);

// True when a line of the table (its Windows-1251 bytes) has `identity` (UTF-8) as its first
// field (in its SummaryTableIdentity form), the text before the first tab. Lines end with LF or
// CR LF; the header counts as a line.
bool SummaryTableHasIdentity(std::span<const std::uint8_t> table, std::string_view identity);

enum class SummaryAppend { Added, AlreadySaved };

// The "В отчет" command on the file at `path`: refuses an identity the table holds already;
// otherwise appends the record with its CR LF in one piece (after a CR LF that ends a last line
// left without one). A missing file is created with the header and the record together, so a
// failure never leaves a table without its header. The duplicate test and the append are one
// step under the table's lock (any number of programs may add to one table at once), and the
// table is read line by line in constant memory. FileIoError when the file layer fails (the file
// is then as it was), when the identity is not well-formed UTF-8, or when an existing non-empty
// file is not a summary table (its first line is neither the header nor a record of 17 fields):
// such a file is left untouched.
// While another program holds the table, `notice` is given (see LockNotice: after half a second
// by default, so the user learns why nothing happens) and the command waits on.
SummaryAppend AppendSummaryRow(const std::string& path, std::string_view identity,
                               const FragmentData& f, char decimalSeparator,
                               const LockNotice& notice = {});

// The same with the record made beforehand by SummaryTableRow (UTF-8), so that it can run
// where the fragment is not at hand (off the window's thread).
SummaryAppend AppendSummaryRecord(const std::string& path, std::string_view identity,
                                  const std::string& row, const LockNotice& notice = {});

// One row of AppendSummaryRecords: its identity and its record made by SummaryTableRow (UTF-8).
struct SummaryRecord {
    std::string identity;
    std::string row;
};

// The rows of one recording in one step, as AppendSummaryRecord adds one: the table is read once
// for all their identities, and the rows it does not hold (nor an earlier row of `records`)
// go in, in order, as one piece under one lock, written through once. The outcome of each row,
// in order. A failure adds none of them.
std::vector<SummaryAppend> AppendSummaryRecords(const std::string& path,
                                                std::span<const SummaryRecord> records,
                                                const LockNotice& notice = {});

// The table of the standard analysis beside a summary table, for the user who asks for it: the
// same name with "_std" before its extension ("rvx.txt" gives "rvx_std.txt"). A line per row of
// the summary table, under the same identity, in the same encoding and line ends.
std::string StandardTablePath(const std::string& summaryTablePath);

// Its header line (UTF-8, without its line end): "Файл", "Параметры" (the settings as the page
// prints them), the time-domain values, then VLF, LF, HF, LF norm, HF norm and LF/HF of the
// Welch, AR and Lomb-Scargle spectra.
std::string StandardTableHeader();

// The record of a standard analysis (UTF-8, without its line end): SummaryTableIdentity(identity)
// and the values as the page shows them, an undefined value an empty field.
std::string StandardTableRow(std::string_view identity, const standard::Result& r,
                             char decimalSeparator);

// The rows of the standard table at `path`, as AppendSummaryRecords adds them to a summary
// table: each identity once, in one piece under the table's lock; an existing file whose first
// line is neither StandardTableHeader nor a record of its width is refused untouched.
std::vector<SummaryAppend> AppendStandardRecords(const std::string& path,
                                                 std::span<const SummaryRecord> records,
                                                 const LockNotice& notice = {});

} // namespace hrv
