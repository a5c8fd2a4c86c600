// The user's regional settings: the decimal separator and the short date format, taken from the
// locale names of the environment (LC_ALL, LC_NUMERIC, LC_TIME, LANG; on Windows the user's
// locale of the system) and the regional data of every locale Qt knows
// (presentation/regional_data.cpp). The window and rvx-cli both use them, so both write the same
// dates and numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hrv {

struct RegionalFormat {
    char decimalSeparator = '.';
    // The date (without the time of day) of a moment given as seconds since 1970, local time.
    std::function<std::string(std::int64_t)> shortDate;
};

// The settings of the locales named as the environment or Windows names them ("ru_RU.UTF-8",
// "de_CH", "uk", "sr_RS@latin", "sr-Latn-RS", "C"): the date from `timeLocale`, the separator
// from `numericLocale`, each looked up as Qt's QLocale looks a name up (language, script and
// territory, else language and script, else language and territory, else the language alone).
// The dates are written in the locale's own digits, the numbers in Latin digits (with the point
// where the locale's own separator is not ASCII). "C", "POSIX" and a name the regional data does
// not know give the "C" locale's values (the point, month/day/year as 12/08/26).
RegionalFormat RegionalFormatOf(std::string_view timeLocale, std::string_view numericLocale);

// The settings of the environment: LC_ALL, else LC_TIME and LC_NUMERIC, else LANG, else "C".
// Whether the C library has the locale installed does not matter. On Windows the user's locale
// of the system (UserLocaleName), whatever the environment says, with the decimal separator and
// the short date the user set in the Control Panel where they differ from the locale's own
// (the date then in Latin digits).
RegionalFormat UserRegionalFormat();

#ifdef _WIN32
// The name of the user's locale as Windows gives it ("hu-HU"), "C" if it gives none.
std::string UserLocaleName();
#endif

// A date written with a short date pattern: d / dd the day, M / MM the month, yy / yyyy the
// year (the doubled letter pads to two digits); 'quoted' text stands as it is ('' a quote), as
// does every other character.
std::string FormatDate(std::string_view pattern, int year, int month, int day);

// The modification date of an existing file as the regional short date. Throws FileIoError.
std::string FileDateText(const std::string& path, const RegionalFormat& regional);

} // namespace hrv
