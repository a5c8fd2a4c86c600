// The windows of a long recording.
#include "service/recording_windows.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
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

TEST(RecordingWindows, OneSecondBeatsGiveAWindowAtEveryStepWhile300SecondsFollow) {
    // 1000 intervals of 1 s: interval i starts at i s, and 300 intervals must follow a first.
    const auto words = Words(test::Repeat(100, 1000));
    const auto consecutive = RecordingWindows(words, 300);
    ASSERT_EQ(consecutive.size(), 3u);
    EXPECT_EQ(consecutive[2].first, 600);
    const auto sliding = RecordingWindows(words, 30);
    ASSERT_EQ(sliding.size(), 24u); // firsts 0, 30, ..., 690
    EXPECT_EQ(sliding.back().first, 690);
    EXPECT_EQ(sliding.back().startTicks, 69000);
    EXPECT_EQ(RecordingWindows(Words(test::Repeat(100, 300)), 300).size(), 0u);
    EXPECT_EQ(RecordingWindows(Words(test::Repeat(100, 301)), 300).size(), 1u);
}

TEST(RecordingWindows, EachWindowBeginsAtTheFirstIntervalAtOrAfterItsStep) {
    // An irregular rhythm of about 21 minutes, against the definition applied directly.
    std::vector<int> ticks;
    for (int i = 0; i < 1500; ++i) {
        ticks.push_back(std::vector<int>{61, 97, 130, 74, 112, 88}[i % 6]);
    }
    std::vector<std::int64_t> starts(ticks.size() + 1, 0); // and the end
    std::partial_sum(ticks.begin(), ticks.end(), starts.begin() + 1);
    for (const int step : {1, 7, 30, 300}) {
        const auto windows = RecordingWindows(Words(ticks), step);
        std::size_t w = 0;
        std::int64_t k = 0; // the step
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const std::int64_t at = k * step * 100;
            if (starts[i] < at) {
                continue;
            }
            if (starts.back() - starts[i + 1] < 30000) {
                break;
            }
            ASSERT_LT(w, windows.size()) << "step " << step;
            EXPECT_EQ(windows[w].window, k) << step;
            EXPECT_EQ(windows[w].first, static_cast<std::int64_t>(i)) << step << " " << w;
            EXPECT_EQ(windows[w].startTicks, starts[i]);
            ++w;
            // The steps that end before the next interval begins give no window of their own.
            while (starts[i] >= (k + 1) * step * 100) {
                ++k;
            }
            ++k;
        }
        EXPECT_EQ(windows.size(), w) << "step " << step;
    }
}

TEST(RecordingWindows, AStepShorterThanTheIntervalsGivesEachFirstIntervalOneWindow) {
    // 130 intervals of 2.55 s at a 1-s step: 29 steps reach a whole fragment, 12 intervals
    // begin one.
    const auto windows = RecordingWindows(Words(test::Repeat(255, 130)), 1);
    ASSERT_EQ(windows.size(), 12u);
    for (std::size_t w = 1; w < windows.size(); ++w) {
        EXPECT_EQ(windows[w].first, windows[w - 1].first + 1);
    }
    EXPECT_EQ(windows.back().startTicks, 11 * 255);
}

TEST(RecordingWindows, AConsumerThatBlocksHoldsTheThreadsToTheBoundOfWaitingResults) {
    // 400 intervals of 1 s: 100 windows every second. Each result counts itself while it lives;
    // the consumer blocks on each window until the threads have made all they may but one (the
    // window the calling thread, blocked here, may have taken up).
    const auto words = Words(test::Repeat(100, 400));
    const auto windows = RecordingWindows(words, 1);
    ASSERT_EQ(windows.size(), 100u);
    for (const int threads : {2, 3}) {
        Executor executor(threads);
        const std::size_t bound = executor.HeldResults();
        std::mutex m;
        std::condition_variable madeMore;
        std::size_t made = 0;
        std::size_t alive = 0;
        std::size_t most = 0;
        struct Counted {
            std::size_t& alive;
            std::mutex& m;
            Counted(std::size_t& a, std::mutex& mutex) : alive(a), m(mutex) {}
            ~Counted() {
                const std::lock_guard lock(m);
                --alive;
            }
        };
        AnalyseWindows<std::unique_ptr<Counted>>(
            words, windows, CorrectionMode::None, executor,
            [&](const RecordingWindow&, const FragmentData&, bool) {
                auto r = std::make_unique<Counted>(alive, m);
                {
                    const std::lock_guard lock(m);
                    ++made;
                    most = std::max(most, ++alive);
                }
                madeMore.notify_all();
                return r;
            },
            [&](const RecordingWindow& w, std::unique_ptr<Counted>&&) {
                // Tasks before w + bound may start; the calling thread may hold one of them
                // taken up and not yet run.
                const std::size_t until =
                    std::min(windows.size(), static_cast<std::size_t>(w.window) + bound) - 1;
                std::unique_lock lock(m);
                ASSERT_TRUE(madeMore.wait_for(lock, std::chrono::seconds(60),
                                              [&] { return made >= until; }))
                    << "window " << w.window << ": the threads stopped short of the bound";
            });
        EXPECT_LE(most, bound) << threads << " threads";
        EXPECT_GE(most, bound - 1) << threads << " threads";
        EXPECT_EQ(alive, 0u);
    }
}

} // namespace
} // namespace hrv
