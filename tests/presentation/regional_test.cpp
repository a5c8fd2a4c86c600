// The user's regional settings from the locale names of the environment (the regional data
// itself is compared with Qt's for every locale in the window tests).
#include "presentation/regional.h"
#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace hrv {
namespace {

TEST(Regional, NamesAsTheEnvironmentGivesThemAndTheCLocalesValuesOtherwise) {
    EXPECT_EQ(RegionalFormatOf("de_DE.UTF-8@euro", "de_CH").shortDate(test::LocalNoon(2027, 3, 5)),
              "05.03.27");
    EXPECT_EQ(RegionalFormatOf("de_DE.UTF-8@euro", "de_CH").decimalSeparator, '.');
    for (const char* name : {"C.UTF-8", "POSIX", "", "xx_YY.UTF-8"}) {
        EXPECT_EQ(RegionalFormatOf(name, name).shortDate(test::LocalNoon(2026, 12, 8)), "12/08/26")
            << name;
        EXPECT_EQ(RegionalFormatOf(name, name).decimalSeparator, '.') << name;
    }
}

TEST(Regional, LocalesBeyondTheCommonOnesTakeTheirOwnValues) {
    const std::time_t day = test::LocalNoon(2026, 12, 8);
    // CLDR's short dates: the year first with dotted spaces in Hungarian, "г." in Bulgarian, a
    // closing dot in Serbian and Croatian, spaces after the dots in Slovak and Slovenian.
    EXPECT_EQ(RegionalFormatOf("hu_HU.UTF-8", "").shortDate(day), "2026. 12. 08.");
    EXPECT_EQ(RegionalFormatOf("bg_BG.UTF-8", "").shortDate(day), "8.12.26 \u0433.");
    EXPECT_EQ(RegionalFormatOf("sr", "").shortDate(day), "8.12.26.");
    EXPECT_EQ(RegionalFormatOf("sr_RS@latin", "").shortDate(day), "8.12.26.");
    EXPECT_EQ(RegionalFormatOf("hr_HR", "").shortDate(day), "08. 12. 2026.");
    EXPECT_EQ(RegionalFormatOf("sk_SK", "").shortDate(day), "8. 12. 2026");
    EXPECT_EQ(RegionalFormatOf("sl_SI", "").shortDate(day), "8. 12. 26");
    EXPECT_EQ(RegionalFormatOf("el_GR", "").shortDate(day), "8/12/26");
    for (const char* name : {"hu_HU.UTF-8", "bg_BG", "el_GR", "sk_SK", "tt_RU", "sr", "hr", "sl",
                             "tk", "sr-Latn-RS", "de_AT"}) {
        EXPECT_EQ(RegionalFormatOf("", name).decimalSeparator, ',') << name;
    }
    // A language on its own takes its main territory's values; the names Windows gives.
    EXPECT_EQ(RegionalFormatOf("en", "").shortDate(day), "12/8/26");
    EXPECT_EQ(RegionalFormatOf("en-GB", "").shortDate(day), "08/12/2026");
    // Dates in the locale's own digits: Persian writes the year first in Extended Arabic-Indic.
    EXPECT_EQ(RegionalFormatOf("fa_IR", "").shortDate(day),
              "\u06f2\u06f0\u06f2\u06f6/\u06f1\u06f2/\u06f8");
}

TEST(Regional, QuotedTextInAPatternStandsAsItIs) {
    EXPECT_EQ(FormatDate("d.MM.yy 'г'.", 2026, 3, 5), "5.03.26 г.");
    EXPECT_EQ(FormatDate("dd 'de' MM 'o''clock' ''yy", 2026, 3, 5), "05 de 03 o'clock '26");
}

#ifndef _WIN32
TEST(Regional, LcAllThenTheCategoryThenLang) {
    const test::ScopedEnv lcAll("LC_ALL", "");
    const test::ScopedEnv lang("LANG", "ru_RU.UTF-8");
    const test::ScopedEnv lcTime("LC_TIME", "en_US.UTF-8");
    const test::ScopedEnv lcNumeric("LC_NUMERIC", "");
    EXPECT_EQ(UserRegionalFormat().shortDate(test::LocalNoon(2027, 3, 5)), "3/5/27");
    EXPECT_EQ(UserRegionalFormat().decimalSeparator, ',');
    const test::ScopedEnv c("LC_ALL", "C");
    EXPECT_EQ(UserRegionalFormat().shortDate(test::LocalNoon(2027, 3, 5)), "03/05/27");
    EXPECT_EQ(UserRegionalFormat().decimalSeparator, '.');
}
#else
TEST(Regional, OnWindowsTheSystemsLocaleNotTheEnvironment) {
    const test::ScopedEnv lcAll("LC_ALL", "hu_HU.UTF-8");
    const std::string name = UserLocaleName();
    EXPECT_EQ(UserRegionalFormat().shortDate(test::LocalNoon(2027, 3, 5)),
              RegionalFormatOf(name, name).shortDate(test::LocalNoon(2027, 3, 5)))
        << name;
    EXPECT_EQ(UserRegionalFormat().decimalSeparator, RegionalFormatOf(name, name).decimalSeparator);
}

// The separator and date the user set, as the Control Panel sets them (put back afterwards).
TEST(Regional, OnWindowsTheSeparatorAndDateTheUserSet) {
    wchar_t date[128] = {};
    wchar_t point[128] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, date, 128);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, 128);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"yyyy-MM-dd 'г'"));
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"'"));
    const RegionalFormat own = UserRegionalFormat();
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, date);
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point);
    EXPECT_EQ(own.shortDate(test::LocalNoon(2027, 3, 5)), "2027-03-05 г");
    EXPECT_EQ(own.decimalSeparator, '\'');
}
#endif

} // namespace
} // namespace hrv
