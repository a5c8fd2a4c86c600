#include "analysis/sliding_window.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using hrv::RankOf;
using hrv::SlidingWindow;

double Selected(std::vector<double> v, double q) {
    const auto k = RankOf(q, v.size());
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

// The window against a selection over a copy of its values, as it moves by steps of every size
// (some beyond its width) over series with repeated values and left-out (negative) ones.
TEST(SlidingWindow, GivesTheQuantilesOfASelectionOverTheWindow) {
    std::mt19937 random(5);
    for (const std::size_t half : {0, 3, 45}) {
        std::vector<double> values(700);
        for (double& v : values) {
            const auto r = random() % 10;
            v = r == 0 ? -1.0 : static_cast<double>(random() % 40) + (r == 1 ? 0.25 : 0.0);
        }
        SlidingWindow window(values, static_cast<int>(half));
        for (std::size_t at = 0; at < values.size(); at += 1 + random() % (at % 5 == 0 ? 150 : 9)) {
            window.MoveTo(at);
            std::vector<double> w;
            for (std::size_t i = at > half ? at - half : 0;
                 i < std::min(values.size(), at + half + 1); ++i) {
                if (values[i] >= 0) {
                    w.push_back(values[i]);
                }
            }
            ASSERT_EQ(window.Size(), w.size()) << "half " << half << " at " << at;
            if (w.empty()) {
                continue;
            }
            for (const double q : {0.0, 0.5, 0.9, 1.0}) {
                EXPECT_EQ(window.Quantile(q), Selected(w, q)) << "q " << q << " at " << at;
            }
            for (const double level : {window.Quantile(0.5), 17.6}) {
                std::vector<double> distances;
                for (const double v : w) {
                    distances.push_back(std::fabs(v - level));
                }
                EXPECT_EQ(window.MedianDistance(level), Selected(distances, 0.5))
                    << "level " << level << " at " << at;
            }
        }
    }
}

} // namespace
