// The user's regional settings from the locale names of the environment.
#include "presentation/regional.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace hrv {
namespace {

// Local noon of a date, as seconds since 1970.
std::int64_t Noon(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

struct LocaleCase {
    const char* name;
    const char* date; // 8 December 2026
    char separator;
};

TEST(Regional, ShortDateAndSeparatorOfTheLocaleNamed) {
    for (const LocaleCase& c : {
             LocaleCase{"ru_RU.UTF-8", "08.12.2026", ','},
             LocaleCase{"uk_UA.UTF-8", "08.12.26", ','}, LocaleCase{"be_BY", "8.12.26", ','},
             LocaleCase{"kk_KZ.UTF-8", "08.12.26", ','}, LocaleCase{"en_US.UTF-8", "12/8/26", '.'},
             LocaleCase{"en_GB.UTF-8", "08/12/2026", '.'},
             LocaleCase{"de_DE.UTF-8@euro", "08.12.26", ','}, LocaleCase{"de_CH", "08.12.26", '.'},
             LocaleCase{"fr_FR.UTF-8", "08/12/2026", ','}, LocaleCase{"fr_CA", "2026-12-08", ','},
             LocaleCase{"C", "12/08/26", '.'}, LocaleCase{"C.UTF-8", "12/08/26", '.'},
             LocaleCase{"POSIX", "12/08/26", '.'}, LocaleCase{"", "12/08/26", '.'},
             LocaleCase{"xx_YY.UTF-8", "12/08/26", '.'}, // unknown: the "C" locale's
         }) {
        const RegionalFormat r = RegionalFormatOf(c.name, c.name);
        EXPECT_EQ(r.shortDate(Noon(2026, 12, 8)), c.date) << c.name;
        EXPECT_EQ(r.decimalSeparator, c.separator) << c.name;
    }
}

TEST(Regional, DateAndSeparatorComeFromTheirOwnCategories) {
    const RegionalFormat r = RegionalFormatOf("en_GB", "de_DE");
    EXPECT_EQ(r.shortDate(Noon(2027, 3, 5)), "05/03/2027");
    EXPECT_EQ(r.decimalSeparator, ',');

    const char* saved[] = {std::getenv("LC_ALL"), std::getenv("LC_TIME"), std::getenv("LC_NUMERIC"),
                           std::getenv("LANG")};
    const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "",
                                saved[2] ? saved[2] : "", saved[3] ? saved[3] : ""};
    ::unsetenv("LC_ALL");
    ::setenv("LANG", "ru_RU.UTF-8", 1);
    ::setenv("LC_TIME", "en_US.UTF-8", 1);
    ::unsetenv("LC_NUMERIC");
    RegionalFormat env = UserRegionalFormat();
    EXPECT_EQ(env.shortDate(Noon(2027, 3, 5)), "3/5/27"); // LC_TIME before LANG
    EXPECT_EQ(env.decimalSeparator, ',');                 // LANG
    ::setenv("LC_ALL", "C", 1);                           // before everything
    env = UserRegionalFormat();
    EXPECT_EQ(env.shortDate(Noon(2027, 3, 5)), "03/05/27");
    EXPECT_EQ(env.decimalSeparator, '.');

    const char* names[] = {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG"};
    for (int i = 0; i < 4; ++i) {
        if (saved[i] != nullptr) {
            ::setenv(names[i], keep[i].c_str(), 1);
        } else {
            ::unsetenv(names[i]);
        }
    }
}

} // namespace
} // namespace hrv
