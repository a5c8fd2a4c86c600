// rvx-cli analyze --table: the summary-table rows of analysed files.
#include "cli/table_output.h"

#include "files/file_io.h"
#include "files/paths.h"
#include "presentation/messages.h"
#include "presentation/summary_table.h"

#include <ostream>

namespace hrv::cli {

std::string FileIdentity(const std::string& path, const RegionalFormat& regional) {
    return BaseNameOfPath(path) + " " + FileDateText(path, regional);
}

bool AppendAnalyzedRow(const std::string& table, const std::string& file, const FragmentData& f,
                       const RegionalFormat& regional, std::ostream& err) {
    try {
        const std::string identity = SummaryRowIdentity(FileIdentity(file, regional), f);
        LockNotice waiting;
        waiting.call = [&err, &table] {
            err << "rvx-cli analyze: " << msg::WaitingForTable(table) << std::endl;
        };
        if (AppendSummaryRow(table, identity, f, regional.decimalSeparator, waiting) ==
            SummaryAppend::AlreadySaved) {
            err << "rvx-cli analyze: " << file << ": " << msg::RecordAlreadySavedIn(identity, table)
                << "\n";
        }
        return true;
    } catch (const FileIoError& e) {
        err << "rvx-cli analyze: " << e.what() << "\n";
        return false;
    }
}

} // namespace hrv::cli
