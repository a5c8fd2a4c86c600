// The user's regional settings from the locale names of the environment (the table itself is
// compared with Qt's locale data in the window tests).
#include "presentation/regional.h"
#include "tests/support/test_support.h"

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

} // namespace
} // namespace hrv
