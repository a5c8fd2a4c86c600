// The conversion of reals to text shown, printed and stored.
#include "presentation/format_fixed.h"

#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string_view>

namespace hrv {
namespace {

struct Case {
    double value;
    int decimals;
    const char* text; // with '.' as the separator
};

// "m1p005_2dp": -1.005 to two decimals ('m' for the sign, 'p' for the point).
void PrintTo(const Case& c, std::ostream* os) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, c.value).ptr;
    for (const char ch : std::string_view(buf, static_cast<std::size_t>(end - buf))) {
        *os << (ch == '.' ? "p" : ch == '-' ? "m" : ch == '+' ? "" : std::string(1, ch));
    }
    *os << '_' << c.decimals << "dp";
}

class FormatFixedCase : public ::testing::TestWithParam<Case> {};

TEST_P(FormatFixedCase, WithEitherSeparator) {
    const Case c = GetParam();
    EXPECT_EQ(FormatFixed(c.value, c.decimals, '.'), c.text);
    std::string comma = c.text;
    for (auto& ch : comma) {
        ch = ch == '.' ? ',' : ch;
    }
    EXPECT_EQ(FormatFixed(c.value, c.decimals, ','), comma);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatFixedCase,
    ::testing::Values(Case{45.678, 2, "45.68"}, Case{62.5, 0, "63"}, Case{0, 2, "0.00"},
                      Case{0, 0, "0"}, Case{1.005, 2, "1.00"}, // stored just below 1.005
                      Case{0.125, 2, "0.13"},                  // an exact tie rounds away from zero
                      Case{-2.5, 0, "-3"}, Case{2.5, 0, "3"}, Case{0.5, 0, "1"}, Case{0.49, 0, "0"},
                      Case{-0.004, 2, "0.00"}, // rounds to zero: no sign
                      Case{0.005, 2, "0.01"}, Case{99.995, 2, "100.00"} /* stored just above */,
                      Case{514.125, 2, "514.13"}, Case{9.999, 2, "10.00"},
                      Case{123456.78, 2,
                           "123457.00"}, // six significant digits win over two decimals
                      Case{999999.4, 0, "999999"}, Case{999999.5, 0, "1E6"},
                      Case{1234567.0, 0, "1.23457E6"}, Case{2000000, 0, "2E6"},
                      Case{-1234567.0, 2, "-1.23457E6"}, Case{1.5e300, 0, "1.5E300"},
                      Case{1e-300, 2, "0.00"}, Case{0.000123, 2, "0.00"},
                      Case{12345.65, 2, "12345.60"}, Case{100.0, 2, "100.00"}, Case{3.0, 0, "3"}),
    ::testing::PrintToStringParamName());

TEST(FormatFixed, NonFiniteValuesHaveAText) {
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 2, '.'), "NAN");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 0, '.'), "-INF");
}

TEST(FormatFixed, AgreesWithCorrectlyRoundedOutputAwayFromTies) {
    // Away from exact binary ties, rounding half away from zero equals correct rounding.
    for (int i = 1; i < 2000; ++i) {
        const double v = i * 0.7310017;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", v);
        EXPECT_EQ(FormatFixed(v, 2, '.'), buf) << v;
    }
}

} // namespace
} // namespace hrv
