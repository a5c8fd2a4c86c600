// The identities of analysed files and windows in the summary table.
#pragma once

#include "analysis/fragment_data.h"
#include "presentation/regional.h"

#include <cstdint>
#include <string>

namespace hrv {

// The identity of a stored fragment in the table, as the window's information line shows it
// after an open: the file's base name, a blank and its modification date.
std::string FileIdentity(const std::string& path, const RegionalFormat& regional);

// The identity of a window's row: `fileIdentity` (FileIdentity of its file), " (коррекция)" after
// it when the fragment was corrected, and the window's start time, " [03:25:00]" (ClockText).
std::string WindowRowIdentity(const std::string& fileIdentity, const FragmentData& f,
                              std::int64_t startTicks);

} // namespace hrv
