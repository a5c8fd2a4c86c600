// The identities of analysed files and windows in the summary table.
#include "service/row_identity.h"

#include "files/file_io.h"
#include "files/paths.h"
#include "presentation/clock_text.h"
#include "presentation/summary_table.h"

namespace hrv {

std::string FileIdentity(const std::string& path, const RegionalFormat& regional) {
    return BaseNameOfPath(path) + " " + FileDateText(path, regional);
}

std::string WindowRowIdentity(const std::string& fileIdentity, const FragmentData& f,
                              std::int64_t startTicks) {
    return SummaryRowIdentity(fileIdentity, f) + " [" + ClockText(startTicks) + "]";
}

} // namespace hrv
