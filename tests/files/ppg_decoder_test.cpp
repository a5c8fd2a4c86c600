// The PPG file: frame search, pulse detection and the size limits.
#include "files/ppg_decoder.h"
#include "tests/support/test_support.h"

#include <random>

namespace hrv {
namespace {

using test::PpgImage;
using test::StepWave;

std::unique_ptr<PpgWorkspace> NewWorkspace() {
    return std::make_unique<PpgWorkspace>();
}

std::vector<int> Pulses(const PpgWorkspace& w) {
    return {w.PulseIntervals.begin() + 1, w.PulseIntervals.begin() + 1 + w.PulseCount};
}

TEST(PpgDecoder, SizeLimits) {
    auto w = NewWorkspace();
    struct Case {
        std::size_t size;
        bool accepted;
    };
    for (const Case c : {Case{0, false}, Case{3, false}, Case{4, true}, Case{1079999, true},
                         Case{1080000, false}, Case{2160001, false}}) {
        EXPECT_EQ(DecodePpgBytes(std::vector<std::uint8_t>(c.size, 231), *w), c.accepted) << c.size;
        EXPECT_EQ(w->PulseCount, 0);
    }
}

TEST(PpgDecoder, FramesNeedTheNextSyncThreeSamplesLater) {
    auto w = NewWorkspace();
    // Samples (even bytes): junk 5, then frames (231, 10, 0), (231, 20, 0), then a last sync.
    const std::vector<std::uint8_t> samples{5, 231, 10, 0, 231, 20, 0, 231, 30, 0};
    std::vector<std::uint8_t> bytes;
    for (const auto s : samples) {
        bytes.insert(bytes.end(), {s, 0x77});
    }
    ASSERT_TRUE(DecodePpgBytes(bytes, *w));
    // The frame after the last complete one has no following sync and is never taken.
    ASSERT_EQ(w->FrameCount, 2);
    EXPECT_EQ(w->ChannelA[1], 10);
    EXPECT_EQ(w->ChannelA[2], 20);

    // A 231 inside the data is a sync when another stands three samples after it.
    const std::vector<std::uint8_t> stray{231, 231, 0, 231, 231, 0, 231};
    bytes.clear();
    for (const auto s : stray) {
        bytes.insert(bytes.end(), {s, 0});
    }
    ASSERT_TRUE(DecodePpgBytes(bytes, *w));
    EXPECT_EQ(w->FrameCount, 2);
    EXPECT_EQ(w->ChannelA[1], 231);
}

TEST(PpgDecoder, OneCandidatePerUpstrokeAndTheFirstNeverGivesAnInterval) {
    auto w = NewWorkspace();
    const std::vector<int> jumps{100, 200, 300, 390, 480};
    ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave(jumps, 40, 100, 600)), *w));
    EXPECT_EQ(Pulses(*w), (std::vector<int>{100, 100, 90, 90}));
    EXPECT_EQ(w->PulseIntervals[5], 0); // zeros after the pulses
}

TEST(PpgDecoder, ARejectedCandidateStillBecomesTheReference) {
    auto w = NewWorkspace();
    // 100 (first, rejected), 100 kept, 240 rejected (change too large), 240 kept: measured from
    // the rejected one.
    ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave({100, 200, 440, 680}, 40, 100, 800)), *w));
    EXPECT_EQ(Pulses(*w), (std::vector<int>{100, 240}));
}

TEST(PpgDecoder, TheUpstrokeMustExceedTheThreshold) {
    auto w = NewWorkspace();
    const std::vector<int> jumps{100, 200, 300, 400};
    ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave(jumps, 40, 35, 500)), *w));
    EXPECT_EQ(w->PulseCount, 0);
    ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave(jumps, 40, 36, 500)), *w));
    EXPECT_EQ(w->PulseCount, 3);
}

TEST(PpgDecoder, IntervalLimitsAndRelativeChange) {
    struct Case {
        int interval, previous;
        bool accepted;
    };
    for (const Case c : {Case{25, 25, false}, Case{26, 26, true}, Case{249, 249, true},
                         Case{250, 250, false}, Case{100, 50, false}, Case{100, 51, true},
                         Case{100, 150, false}, Case{100, 149, true}, Case{60, 0, false}}) {
        EXPECT_EQ(PulseAccepted(c.interval, c.previous), c.accepted)
            << c.interval << " after " << c.previous;
    }
    // 249 and 250 through the detector.
    auto w = NewWorkspace();
    ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave({249, 498, 747}, 40, 100, 900)), *w));
    EXPECT_EQ(Pulses(*w), (std::vector<int>{249, 249}));
    ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave({250, 500, 750}, 40, 100, 900)), *w));
    EXPECT_EQ(w->PulseCount, 0);
}

TEST(PpgDecoder, TooFewFramesGiveNoPulses) {
    auto w = NewWorkspace();
    // Eleven frames allow one detection step; ten allow none.
    for (const int frames : {10, 11}) {
        ASSERT_TRUE(DecodePpgBytes(PpgImage(StepWave({2}, 40, 100, frames)), *w));
        EXPECT_EQ(w->FrameCount, frames);
        EXPECT_EQ(w->PulseCount, 0);
    }
}

TEST(PpgDecoder, BytesAtOddOffsetsChangeNothing) {
    auto a = NewWorkspace();
    auto b = NewWorkspace();
    std::vector<int> jumps;
    for (int s = 50; s < 3000; s += 70 + (s % 13)) {
        jumps.push_back(s);
    }
    const auto wave = StepWave(jumps, 30, 120, 3100);
    ASSERT_TRUE(DecodePpgBytes(PpgImage(wave, 0), *a));
    auto noisy = PpgImage(wave, 0);
    std::mt19937 rng(7);
    for (std::size_t i = 1; i < noisy.size(); i += 2) {
        noisy[i] = static_cast<std::uint8_t>(rng());
    }
    ASSERT_TRUE(DecodePpgBytes(noisy, *b));
    EXPECT_GT(a->PulseCount, 30);
    EXPECT_EQ(Pulses(*a), Pulses(*b));
}

TEST(PpgDecoder, ARecordingDecodesToPulsesLikeTheReferenceBeats) {
    const std::string dir = test::SharedData();
    if (dir.empty()) {
        GTEST_SKIP() << "recordings not found beside the project";
    }
    auto w = NewWorkspace();
    ASSERT_TRUE(DecodePpgFile(dir + "/bidmc01_110-470s.ppg", *w));
    // The reference systolic peaks of this window give 545 intervals; the detector fires on the
    // upstroke, so the count and the mean interval agree.
    EXPECT_EQ(w->PulseCount, 545);
    long sum = 0;
    for (const int v : Pulses(*w)) {
        sum += v;
    }
    EXPECT_NEAR(static_cast<double>(sum) / w->PulseCount, 65.9, 1.0);
}

TEST(PpgDecoder, RandomBytesNeverOverrunAndGiveAWellDefinedResult) {
    auto w = NewWorkspace();
    std::mt19937 rng(2026);
    for (int round = 0; round < 60; ++round) {
        std::vector<std::uint8_t> bytes(rng() % 20000);
        for (auto& b : bytes) {
            // Mostly syncs and small values so that frames are found.
            b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 231 : rng() % 256);
        }
        const bool ok = DecodePpgBytes(bytes, *w);
        EXPECT_EQ(ok, bytes.size() >= 4);
        EXPECT_LE(w->FrameCount, static_cast<std::int32_t>(bytes.size() / 6 + 1));
        for (int k = 1; k <= w->PulseCount; ++k) {
            ASSERT_GT(w->PulseIntervals[k], 25);
            ASSERT_LT(w->PulseIntervals[k], 250);
        }
    }
}

} // namespace
} // namespace hrv
