// rvx-cli analyze --table: the summary-table rows of analysed files.
#include "cli/table_output.h"

#include "files/file_io.h"
#include "presentation/messages.h"
#include "presentation/summary_table.h"
#include "service/row_identity.h"

#include <ostream>
#include <vector>

namespace hrv::cli {

namespace {

// Appends the row through `append` (the record or the fragment), reporting as AppendAnalyzedRow.
template <class Append>
bool AppendReported(const std::string& table, const std::string& file, std::ostream& err,
                    Append&& append) {
    try {
        LockNotice waiting;
        waiting.call = [&err, &table] {
            err << "rvx-cli analyze: " << msg::WaitingForTable(table) << std::endl;
        };
        std::string identity;
        if (append(waiting, identity) == SummaryAppend::AlreadySaved) {
            err << "rvx-cli analyze: " << file << ": " << msg::RecordAlreadySavedIn(identity, table)
                << "\n";
        }
        return true;
    } catch (const FileIoError& e) {
        err << "rvx-cli analyze: " << e.what() << "\n";
        return false;
    }
}

} // namespace

bool AppendAnalyzedRow(const std::string& table, const std::string& file, const FragmentData& f,
                       const RegionalFormat& regional, std::ostream& err,
                       const standard::Result* standard) {
    std::string identity;
    const bool written =
        AppendReported(table, file, err, [&](const LockNotice& waiting, std::string& shown) {
            identity = SummaryRowIdentity(FileIdentity(file, regional), f);
            shown = identity;
            return AppendSummaryRow(table, identity, f, regional.decimalSeparator, waiting);
        });
    if (!written || standard == nullptr) {
        return written;
    }
    const SummaryRecord record{identity,
                               StandardTableRow(identity, *standard, regional.decimalSeparator)};
    return AppendStandardTableRecords(table, std::span(&record, 1), err);
}

bool AppendTableRecord(const std::string& table, const std::string& file,
                       const std::string& identity, const std::string& row, std::ostream& err) {
    return AppendReported(table, file, err, [&](const LockNotice& waiting, std::string& shown) {
        shown = identity;
        return AppendSummaryRecord(table, identity, row, waiting);
    });
}

bool AppendTableRecords(const std::string& table, const std::string& file,
                        std::span<const SummaryRecord> records, std::ostream& err) {
    std::vector<SummaryAppend> results;
    const bool written =
        AppendReported(table, file, err, [&](const LockNotice& waiting, std::string&) {
            results = AppendSummaryRecords(table, records, waiting);
            return SummaryAppend::Added; // the refused ones are reported below, each by name
        });
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i] == SummaryAppend::AlreadySaved) {
            err << "rvx-cli analyze: " << file << ": "
                << msg::RecordAlreadySavedIn(records[i].identity, table) << "\n";
        }
    }
    return written;
}

bool AppendStandardTableRecords(const std::string& table, std::span<const SummaryRecord> records,
                                std::ostream& err) {
    const std::string path = StandardTablePath(table);
    return AppendReported(path, path, err, [&](const LockNotice& waiting, std::string&) {
        AppendStandardRecords(path, records, waiting);
        return SummaryAppend::Added;
    });
}

} // namespace hrv::cli
