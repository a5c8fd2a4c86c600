// The times a long recording's windows and length are shown with.
#include "presentation/clock_text.h"

#include <gtest/gtest.h>

namespace hrv {
namespace {

TEST(ClockText, TimesShowHoursMinutesAndWholeSeconds) {
    EXPECT_EQ(ClockText(0), "00:00:00");
    EXPECT_EQ(ClockText(1230099), "03:25:00"); // 12300.99 s
    EXPECT_EQ(ClockText(360000000), "1000:00:00");
    EXPECT_EQ(DurationText(8659000), "24:03:10");
    EXPECT_EQ(DurationText(65000), "0:10:50");
}

} // namespace
} // namespace hrv
