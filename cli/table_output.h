// rvx-cli analyze --table: the summary-table rows of analysed files.
#pragma once

#include "analysis/fragment_data.h"
#include "presentation/regional.h"
#include "presentation/summary_table.h"

#include <iosfwd>
#include <span>
#include <string>

namespace hrv::cli {

// Appends the row of the analysed `file` to the table at `table`, its identity FileIdentity
// (service/row_identity.h) with
// " (коррекция)" after it when the fragment was corrected. A refused duplicate is
// reported on `err` and is not a failure; a failure of the file layer is reported on `err` and
// gives false.
// With `standard` (--method standard) its record goes under the same identity to the standard
// table beside it (StandardTablePath), once the row is in the table or was there already.
bool AppendAnalyzedRow(const std::string& table, const std::string& file, const FragmentData& f,
                       const RegionalFormat& regional, std::ostream& err,
                       const standard::Result* standard = nullptr);

// Appends a record made beforehand (SummaryTableRow of `identity`) for `file` to the table at
// `table`; a refused duplicate and a failure are reported on `err` as AppendAnalyzedRow does, and
// only a failure gives false.
bool AppendTableRecord(const std::string& table, const std::string& file,
                       const std::string& identity, const std::string& row, std::ostream& err);

// The records of one recording's windows in one step (AppendSummaryRecords): each refused
// duplicate is reported on `err` as AppendTableRecord does, in order; a failure of the file
// layer adds none of them, is reported once and gives false.
bool AppendTableRecords(const std::string& table, const std::string& file,
                        std::span<const SummaryRecord> records, std::ostream& err);

// The standard analysis's records of a recording's rows (made by StandardTableRow) to the
// standard table beside `table`, in one step; an identity it holds already is no news (the
// summary table's row told it). A failure is reported on `err` and gives false.
bool AppendStandardTableRecords(const std::string& table, std::span<const SummaryRecord> records,
                                std::ostream& err);

} // namespace hrv::cli
