#include "analysis/rpeak_candidates.h"
#include "analysis/rpeak_detector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using hrv::DetectRPeaks;
using hrv::DetectRPeaksInParts;
using hrv::Executor;

constexpr double kPi = 3.14159265358979323846;

struct Beat {
    double t = 0.0; // the R-peak, s
    bool ventricular = false;
};

// A minute of rhythm: sinus with breathing's variation and premature ventricular beats with
// their compensatory pause, a pause of 3 s, a run at 180 per minute, sinus again.
std::vector<Beat> Rhythm() {
    std::vector<Beat> beats;
    double t = 0.7;
    for (int i = 0; t < 60.0; ++i) {
        const double rr = 0.8 + 0.06 * std::sin(2.0 * kPi * i / 9.0);
        if (i % 7 == 6 && t < 20.0) {
            beats.push_back({t + 0.6 * rr, true});
            t += 2.0 * rr;
        } else {
            t += i == 30 ? 3.0 : (i > 40 && i <= 52 ? 60.0 / 180.0 : rr);
        }
        beats.push_back({t, false});
    }
    beats.pop_back();
    return beats;
}

double Wave(double t, double at, double height, double width) {
    const double d = (t - at) / width;
    return height * std::exp(-0.5 * d * d);
}

// The waves of the beats near `t`: P, Q, R, S and T of Gaussian shape, or a wide negative complex
// and a tall T for a ventricular beat.
double Complexes(const std::vector<Beat>& beats, double t) {
    double v = 0.0;
    for (const Beat& b : beats) {
        if (std::abs(t - b.t) < 0.6) {
            v += b.ventricular
                     ? Wave(t, b.t, -1.6, 0.025) + Wave(t, b.t + 0.3, 0.5, 0.06)
                     : Wave(t, b.t - 0.17, 0.15, 0.025) + Wave(t, b.t - 0.025, -0.1, 0.008) +
                           Wave(t, b.t, 1.0, 0.01) + Wave(t, b.t + 0.025, -0.25, 0.01) +
                           Wave(t, b.t + 0.25, 0.3, 0.05);
        }
    }
    return v;
}

// The beats' R-peaks: where their waves together reach their extremum near each beat (the
// neighbouring waves move it a little), to 10 us.
std::vector<double> Peaks(const std::vector<Beat>& beats) {
    std::vector<double> out;
    for (const Beat& b : beats) {
        double best = b.t;
        for (double t = b.t - 0.005; t <= b.t + 0.005; t += 1e-5) {
            const double sign = b.ventricular ? -1.0 : 1.0;
            best = sign * Complexes(beats, t) > sign * Complexes(beats, best) ? t : best;
        }
        out.push_back(best);
    }
    return out;
}

// The beats times `sign`, plus baseline wander and mains of `mains` mV.
std::vector<float> Ecg(const std::vector<Beat>& beats, double rate, double sign, double mains) {
    std::vector<float> x(static_cast<std::size_t>(61.0 * rate));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double wander =
            0.4 * std::sin(2.0 * kPi * 0.3 * t) + 0.2 * std::sin(2.0 * kPi * 0.05 * t) + 1.5;
        x[i] = static_cast<float>(sign * (Complexes(beats, t) + wander) +
                                  mains * std::sin(2.0 * kPi * (sign > 0 ? 50 : 60) * t));
    }
    return x;
}

class RPeaksAtRate : public testing::TestWithParam<double> {};

// Every beat, sinus or ventricular, before and after the pause and in the fast run, is found on
// its R-peak to one sample, and nothing else: clean, and inverted with wander and mains. (Above
// 1000 Hz to 0.6 ms: the 30 Hz low-pass that places beats as the annotators of MIT-BIH did moves a
// peak tilted by the T wave before it in the fast run by half a millisecond.)
TEST_P(RPeaksAtRate, FindsEveryBeatOnItsPeak) {
    const double rate = GetParam();
    const std::vector<Beat> beats = Rhythm();
    const std::vector<double> at = Peaks(beats);
    for (const auto& [sign, mains] : {std::pair{1.0, 0.0}, std::pair{-1.0, 0.15}, {1.0, 0.15}}) {
        const std::vector<std::int64_t> peaks = DetectRPeaks(Ecg(beats, rate, sign, mains), rate);
        ASSERT_EQ(peaks.size(), beats.size()) << "sign " << sign << " mains " << mains;
        for (std::size_t k = 0; k < beats.size(); ++k) {
            EXPECT_NEAR(static_cast<double>(peaks[k]), at[k] * rate, std::max(1.0, 0.0006 * rate))
                << "beat " << k << " at " << beats[k].t << " s, sign " << sign;
        }
    }
}

std::string RateName(const testing::TestParamInfo<double>& rate) {
    return std::to_string(static_cast<int>(rate.param)) + "Hz";
}

INSTANTIATE_TEST_SUITE_P(Rates, RPeaksAtRate, testing::Values(100, 250, 360, 500, 1000, 2000),
                         RateName);

// A record that starts flat (electrodes off) and whose beats shrink eightfold at 35 s (an
// electrode moved): the beats are found from where they begin, and again within 10 s of the
// change, and nothing else is.
TEST(RPeaks, FollowsTheBeatsThroughAFlatStartAndAFall) {
    const double rate = 250.0;
    const std::vector<Beat> beats = Rhythm();
    const std::vector<double> at = Peaks(beats);
    std::vector<float> x = Ecg(beats, rate, 1.0, 0.0);
    // Flat up to 0.3 s before the first beat after 12 s, between its P wave and the T wave before.
    const double on =
        std::find_if(beats.begin(), beats.end(), [](const Beat& b) { return b.t > 12.0; })->t - 0.3;
    const auto first = static_cast<std::size_t>(on * rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = i < first ? x[first] : (i >= 35 * 250 ? x[i] / 8.0F : x[i]);
    }
    const std::vector<std::int64_t> peaks = DetectRPeaks(x, rate);
    std::vector<std::int64_t> expected;
    for (const double t : at) {
        if (t > on) {
            expected.push_back(std::llround(t * rate));
        }
    }
    std::size_t found = 0;
    for (const std::int64_t p : peaks) {
        const auto near = std::find_if(expected.begin(), expected.end(),
                                       [p](std::int64_t e) { return std::abs(e - p) <= 1; });
        EXPECT_TRUE(near != expected.end()) << "extra beat at " << static_cast<double>(p) / rate;
        found += near != expected.end() ? 1 : 0;
    }
    const auto late = std::count_if(expected.begin(), expected.end(),
                                    [](std::int64_t e) { return e < 35 * 250 || e > 45 * 250; });
    EXPECT_GE(found, static_cast<std::size_t>(late));
}

// A regular rhythm with electrode pops halfway between beats (a jump as high as the R waves
// decaying in 40 ms) and two interpolated ventricular beats, alike, that split their intervals as
// the pops do: the pops go, the ventricular beats stay. The record ends on a pop's rise.
TEST(RPeaks, DropsPopsThatSplitAnIntervalAndKeepsInterpolatedBeats) {
    std::vector<Beat> beats;
    for (double t = 0.7; t < 59.5; t += 0.8) {
        beats.push_back({t, false});
        if (std::abs(t - 20.7) < 0.01 || std::abs(t - 23.9) < 0.01) {
            beats.push_back({t + 0.42, true});
        }
    }
    std::vector<float> x = Ecg(beats, 360.0, 1.0, 0.0);
    x.resize(static_cast<std::size_t>(59.5 * 360.0) + 4);
    for (const double at : {10.75, 31.55, 45.95, 52.35, 59.5}) {
        for (auto i = static_cast<std::size_t>(at * 360.0); i < x.size(); ++i) {
            const double d = static_cast<double>(i) / 360.0 - at;
            x[i] += static_cast<float>(d < 0.5 ? std::exp(-d / 0.04) : 0.0);
        }
    }
    const std::vector<double> at = Peaks(beats);
    const std::vector<std::int64_t> peaks = DetectRPeaks(x, 360.0);
    ASSERT_EQ(peaks.size(), beats.size());
    for (std::size_t k = 0; k < beats.size(); ++k) {
        EXPECT_NEAR(static_cast<double>(peaks[k]), at[k] * 360.0, 1.0) << "beat at " << at[k];
    }
}

// What the slope test against T waves must not take for one, and what it must: wide ventricular
// beats on the T wave before them (330 ms after a sinus beat, then a compensatory pause) and in
// runs at 190 a minute, each within 360 ms of the last and slower than the sinus beats, are
// beats; a peaked T wave half as tall again as its R wave, nearly as steep in the QRS band, is
// none.
TEST(RPeaks, VentricularRunsAndBeatsOnTWavesAreBeatsAndTallPeakedTWavesAreNot) {
    const double rate = 360.0;
    // Each beat (its time; ventricular or not) found within 20 ms, and nothing else, but for the
    // first of a ventricular run at most: shaped unlike the rest (no T wave runs into it), it
    // splits an ordinary interval as noise would.
    const auto check = [rate](const std::vector<std::pair<double, bool>>& beats, double tHeight,
                              double tWidth) {
        std::vector<float> x(static_cast<std::size_t>(61.0 * rate));
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            double v = 0.2 * std::sin(2.0 * kPi * 0.3 * t);
            for (const auto& [at, wide] : beats) {
                const double d = t - at;
                v += std::abs(d) > 0.6 ? 0.0
                     : wide            ? Wave(d, 0.0, 1.2, 0.04) + Wave(d, 0.08, -0.6, 0.04) +
                                  Wave(d, 0.3, -0.5, 0.08)
                            : Wave(d, -0.17, 0.15, 0.025) + Wave(d, 0.0, 1.0, 0.01) +
                                  Wave(d, 0.025, -0.25, 0.01) + Wave(d, 0.25, tHeight, tWidth);
            }
            x[i] = static_cast<float>(v);
        }
        std::size_t next = 0;
        for (const std::int64_t p : DetectRPeaks(x, rate)) {
            for (; next < beats.size() && beats[next].first * rate < static_cast<double>(p) - 7;
                 ++next) {
                EXPECT_TRUE(beats[next].second && !beats[next - 1].second && beats[next + 1].second)
                    << "missed the beat at " << beats[next].first;
            }
            ASSERT_LT(next, beats.size()) << "extra beat at " << static_cast<double>(p) / rate;
            EXPECT_NEAR(static_cast<double>(p), beats[next++].first * rate, 7.0);
        }
        EXPECT_EQ(next, beats.size());
    };
    std::vector<std::pair<double, bool>> beats;
    for (double t = 0.7; t < 45.0; t += 1.016) {
        for (int k = 0; k < 12; ++k, t += 0.8) {
            beats.emplace_back(t, false);
            if (k == 5) {
                beats.emplace_back(t + 0.33, true);
                t += 0.8;
            }
        }
        for (int k = 0; k < 8; ++k, t += 0.316) {
            beats.emplace_back(t - 0.4, true);
        }
        t -= 0.4;
    }
    check(beats, 0.3, 0.05);
    beats.clear();
    for (double t = 0.7; t < 60.0; t += 0.8 + 0.05 * std::sin(t)) {
        beats.emplace_back(t, false);
    }
    check(beats, 1.5, 0.035);
}

TEST(RPeaks, NoBeatsInAFlatOrEmptySignalAndNoRateOutOfRange) {
    EXPECT_TRUE(DetectRPeaks(std::vector<float>(5000, 0.3F), 250.0).empty());
    EXPECT_TRUE(DetectRPeaks({}, 250.0).empty());
    EXPECT_TRUE(DetectRPeaks(std::vector<float>(3, 1.0F), 250.0).empty());
    EXPECT_THROW(DetectRPeaks(std::vector<float>(100), 50.0), std::invalid_argument);
    EXPECT_THROW(DetectRPeaks(std::vector<float>(100), NAN), std::invalid_argument);
}

// Lead MLII of MIT-BIH record 100 in mV, `copies` times over; empty when the record is absent.
std::vector<float> Record100Lead(int copies = 1) {
    std::ifstream dat(std::string(HRV_SHARED_ECG) + "/mitdb/100.dat", std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(dat), {}};
    std::vector<float> lead;
    for (int copy = 0; copy < copies; ++copy) {
        for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
            const int v = bytes[i] | ((bytes[i + 1] & 0x0f) << 8);
            lead.push_back(static_cast<float>((v >= 2048 ? v - 4096 : v) - 1024) / 200.0F);
        }
    }
    return lead;
}

// MIT-BIH record 100, lead MLII, against the cardiologists' beats: 150 ms window, each used once.
TEST(RPeaks, MitBihRecord100) {
    const std::string base = std::string(HRV_SHARED_ECG) + "/mitdb/100";
    std::ifstream csv(base + ".beats.csv");
    const std::vector<float> lead = Record100Lead();
    if (lead.empty() || !csv) {
        GTEST_SKIP() << "no " << base;
    }
    std::vector<std::int64_t> reference;
    std::string line;
    std::getline(csv, line);
    while (std::getline(csv, line)) {
        reference.push_back(std::stoll(line));
    }
    const std::vector<std::int64_t> peaks = DetectRPeaks(lead, 360.0);
    std::size_t matched = 0;
    double error = 0.0;
    for (std::size_t r = 0, d = 0; r < reference.size() && d < peaks.size();) {
        const std::int64_t gap = peaks[d] - reference[r];
        if (std::abs(gap) <= 54) {
            ++matched, ++r, ++d;
            error += static_cast<double>(std::abs(gap)) / 360.0;
        } else {
            ++(gap < 0 ? d : r);
        }
    }
    const double f1 =
        2.0 * static_cast<double>(matched) / static_cast<double>(reference.size() + peaks.size());
    EXPECT_GE(f1, 0.995);
    EXPECT_LE(error / static_cast<double>(matched), 0.003);
}

// The candidates of a block do not depend on which other blocks were filtered beside it: record
// 100 with its first minute put before it again moves every block to another place in the
// groups that are filtered together, and every candidate after that minute stays the same.
TEST(RPeaks, CandidatesOfABlockDoNotDependOnItsNeighbours) {
    const std::vector<float> lead = Record100Lead();
    if (lead.empty()) {
        GTEST_SKIP() << "no MIT-BIH record 100";
    }
    constexpr std::int64_t kMinute = 60 * 360;
    std::vector<float> longer(lead.begin(), lead.begin() + kMinute);
    longer.insert(longer.end(), lead.begin(), lead.end());
    const auto before = hrv::rpeak::FindCandidates(lead, 360.0);
    const auto after = hrv::rpeak::FindCandidates(longer, 360.0);
    std::vector<hrv::rpeak::Candidate> kept;
    for (const auto& c : before) {
        if (c.at >= kMinute) {
            kept.push_back(c);
        }
    }
    auto moved = std::find_if(after.begin(), after.end(),
                              [&](const auto& c) { return c.at >= 2 * kMinute; });
    ASSERT_GE(kept.size(), 2000u);
    ASSERT_EQ(static_cast<std::size_t>(after.end() - moved), kept.size());
    const auto fields = [](const hrv::rpeak::Candidate& c, std::int64_t shift) {
        return std::tuple(c.at - shift, c.height, c.slope, c.up - shift, c.down - shift, c.rise,
                          c.fall, c.sharp, c.shape);
    };
    for (const auto& c : kept) {
        ASSERT_TRUE(fields(*moved++, kMinute) == fields(c, 0)) << c.at;
    }
}

// Over two hours the detector works in parts of an hour: the same beats on one thread and on two,
// and at the joins of the parts the same beats as the recording detected whole (record 100's
// lead three times over, each join in the middle of its beats).
TEST(RPeaks, LongRecordsInPartsGiveTheBeatsOfTheWhole) {
    const std::vector<float> lead = Record100Lead(3);
    if (lead.empty()) {
        GTEST_SKIP() << "no MIT-BIH record 100";
    }
    const std::vector<std::int64_t> whole = DetectRPeaks(lead, 360.0);
    Executor two(2);
    const std::vector<std::int64_t> one =
        DetectRPeaksInParts(lead, 360.0, Executor::CallingThreadOnly());
    EXPECT_EQ(DetectRPeaksInParts(lead, 360.0, two), one);
    ASSERT_EQ(one.size(), whole.size());
    for (std::size_t k = 0; k < whole.size(); ++k) {
        ASSERT_EQ(one[k], whole[k])
            << "beat " << k << " at " << static_cast<double>(whole[k]) / 360 << " s";
    }
}

} // namespace
