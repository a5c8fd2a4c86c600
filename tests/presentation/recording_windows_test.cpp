// The windows of a long recording and the times they are shown with.
#include "presentation/recording_windows.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace hrv {
namespace {

std::vector<std::uint16_t> Words(const std::vector<int>& ticks) {
    std::vector<std::uint16_t> words;
    for (const int t : ticks) {
        words.push_back(static_cast<std::uint16_t>(t * 256));
    }
    return words;
}

std::vector<std::int64_t> Firsts(const std::vector<RecordingWindow>& windows) {
    std::vector<std::int64_t> firsts;
    for (const RecordingWindow& w : windows) {
        firsts.push_back(w.first);
    }
    return firsts;
}

TEST(RecordingWindows, OneSecondBeatsGiveAWindowAtEveryStepWhile300SecondsFollow) {
    // 1000 intervals of 1 s: interval i starts at i s; a window needs 300 intervals after its
    // first, so the last first is 699.
    const auto words = Words(test::Repeat(100, 1000));
    EXPECT_EQ(Firsts(RecordingWindows(words, 300)), (std::vector<std::int64_t>{0, 300, 600}));
    const auto sliding = RecordingWindows(words, 30);
    ASSERT_EQ(sliding.size(), 24u); // firsts 0, 30, ..., 690
    EXPECT_EQ(sliding.back().first, 690);
    EXPECT_EQ(sliding.back().startTicks, 69000);
    EXPECT_EQ(RecordingWindows(Words(test::Repeat(100, 300)), 300).size(), 0u);
    EXPECT_EQ(RecordingWindows(Words(test::Repeat(100, 301)), 300).size(), 1u);
}

TEST(RecordingWindows, EachWindowBeginsAtTheFirstIntervalAtOrAfterItsStep) {
    // An irregular rhythm of about 21 minutes; the windows by their definition, counted here
    // from the start times directly.
    std::vector<int> ticks;
    for (int i = 0; i < 1500; ++i) {
        ticks.push_back(std::vector<int>{61, 97, 130, 74, 112, 88}[i % 6]);
    }
    std::vector<std::int64_t> starts(ticks.size() + 1, 0);
    std::partial_sum(ticks.begin(), ticks.end(), starts.begin() + 1);
    const std::int64_t total = starts.back();
    for (const int step : {1, 30, 300, 7}) {
        std::vector<RecordingWindow> expected;
        for (std::int64_t w = 0;; ++w) {
            std::size_t i = 0;
            while (i < ticks.size() && starts[i] < w * step * 100) {
                ++i;
            }
            if (i == ticks.size() || total - starts[i + 1] < 30000) {
                break;
            }
            expected.push_back({w, static_cast<std::int64_t>(i), starts[i]});
        }
        const auto windows = RecordingWindows(Words(ticks), step);
        ASSERT_EQ(windows.size(), expected.size()) << "step " << step;
        for (std::size_t k = 0; k < windows.size(); ++k) {
            EXPECT_EQ(windows[k].window, expected[k].window);
            EXPECT_EQ(windows[k].first, expected[k].first) << "step " << step << " window " << k;
            EXPECT_EQ(windows[k].startTicks, expected[k].startTicks);
        }
    }
}

TEST(RecordingWindows, TimesShowHoursMinutesAndWholeSeconds) {
    EXPECT_EQ(ClockText(0), "00:00:00");
    EXPECT_EQ(ClockText(1230099), "03:25:00"); // 12300.99 s
    EXPECT_EQ(ClockText(360000000), "1000:00:00");
    EXPECT_EQ(DurationText(8659000), "24:03:10");
    EXPECT_EQ(DurationText(65000), "0:10:50");
}

} // namespace
} // namespace hrv
