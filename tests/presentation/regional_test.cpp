// The user's regional settings from the locale names of the environment.
#include "presentation/regional.h"
#include "tests/support/test_support.h"

#include <ctime>

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

    const test::ScopedEnv lcAll("LC_ALL", "");
    const test::ScopedEnv lang("LANG", "ru_RU.UTF-8");
    const test::ScopedEnv lcTime("LC_TIME", "en_US.UTF-8");
    const test::ScopedEnv lcNumeric("LC_NUMERIC", "");
    RegionalFormat env = UserRegionalFormat();
    EXPECT_EQ(env.shortDate(Noon(2027, 3, 5)), "3/5/27"); // LC_TIME before LANG
    EXPECT_EQ(env.decimalSeparator, ',');                 // LANG
    const test::ScopedEnv cAll("LC_ALL", "C");            // before everything
    env = UserRegionalFormat();
    EXPECT_EQ(env.shortDate(Noon(2027, 3, 5)), "03/05/27");
    EXPECT_EQ(env.decimalSeparator, '.');
}

} // namespace
} // namespace hrv
