// The user's regional settings as the command-line tool sees them: the decimal separator and the
// short date format of the environment's locale (LC_ALL, LC_NUMERIC, LC_TIME, LANG).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hrv {

struct RegionalFormat {
    char decimalSeparator = '.';
    // The date (without the time of day) of a moment given as seconds since 1970, local time.
    std::function<std::string(std::int64_t)> shortDate;
};

// The environment's settings; the "C" locale's when the environment names none or an unknown one.
// The process's global locale is left as it is.
RegionalFormat UserRegionalFormat();

// The modification date of an existing file as the regional short date. Throws FileIoError.
std::string FileDateText(const std::string& path, const RegionalFormat& regional);

} // namespace hrv
