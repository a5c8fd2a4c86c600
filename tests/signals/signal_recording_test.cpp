// The recording of signals and beats: physical samples from raw ones, and the intervals in ticks
// rounded from beat times.
#include "signals/signal_recording.h"

#include <gtest/gtest.h>
#include <numeric>

namespace hrv {
namespace {

SignalRecording BeatsAt(double rate, std::initializer_list<std::int64_t> samples) {
    SignalRecording r;
    r.beatRate = rate;
    for (const std::int64_t s : samples) {
        r.beats.push_back(Beat{s, BeatSource::Annotation, BeatKind::Normal, 1});
    }
    return r;
}

TEST(SignalChannel, PhysicalValuesFromEitherStorage) {
    SignalChannel c;
    c.gain = 200;
    c.baseline = 1024;
    c.raw16 = {1024, 1224, 824, -976};
    std::vector<float> f;
    c.PhysicalInto(f);
    EXPECT_EQ(f, (std::vector<float>{0.0f, 1.0f, -1.0f, -10.0f}));
    c.raw32 = {1024 + 2000000, 1024};
    c.raw16.clear();
    std::vector<double> d;
    c.PhysicalInto(d);
    EXPECT_EQ(d, (std::vector<double>{10000.0, 0.0}));
    // A block past the end fills only what there is.
    std::vector<float> block(4, -1.0f);
    c.PhysicalInto(1, block);
    EXPECT_EQ(block, (std::vector<float>{0.0f, -1.0f, -1.0f, -1.0f}));
}

TEST(IntervalTicks, EachBeatRoundedThenDifferenced) {
    // At 360 Hz, 299 samples are 83.06 ticks: times 0, 83.06, 166.11, 249.17, 332.22 round to
    // 0, 83, 166, 249, 332.
    EXPECT_EQ(IntervalTicks(BeatsAt(360, {0, 299, 598, 897, 1196})),
              (std::vector<std::int32_t>{83, 83, 83, 83}));
    // 0.2777 s steps (27.78 ticks): times 27.78, 55.56, 83.33 -> 28, 56, 83 give 28, 28, 27,
    // where rounding each interval would give 28 three times and drift by a tick.
    EXPECT_EQ(IntervalTicks(BeatsAt(360, {0, 100, 200, 300})),
              (std::vector<std::int32_t>{28, 28, 27}));
    // Exactly half a tick rounds up: sample 9 at 360 Hz is 2.5 ticks.
    EXPECT_EQ(IntervalTicks(BeatsAt(360, {0, 9})), (std::vector<std::int32_t>{3}));
    EXPECT_TRUE(IntervalTicks(BeatsAt(360, {5})).empty());
    EXPECT_TRUE(IntervalTicks(BeatsAt(0, {5, 10})).empty());
}

TEST(IntervalTicks, SumsToTheLastBeatOverADay) {
    // A day of beats 0.8333 s apart at 500 Hz: the intervals add up to the last beat's tick.
    SignalRecording r;
    r.beatRate = 500;
    for (std::int64_t k = 0; k < 100000; ++k) {
        r.beats.push_back(Beat{k * 416 + (k % 7), BeatSource::Detected, BeatKind::Unknown, 0});
    }
    const std::vector<std::int32_t> ticks = IntervalTicks(r);
    const std::int64_t sum = std::accumulate(ticks.begin(), ticks.end(), std::int64_t{0});
    const double last = static_cast<double>(r.beats.back().sample) / 5.0;
    EXPECT_EQ(sum, static_cast<std::int64_t>(last + 0.5));
}

TEST(RecordingFromWords, RoundTripGivesTheTicks) {
    const std::vector<std::uint16_t> words = {80 * 256 + 3, 82 * 256, 255 * 256 + 1, 1 * 256};
    const SignalRecording r = RecordingFromWords(words);
    ASSERT_EQ(r.beats.size(), 5u);
    EXPECT_EQ(r.beats[0].sample, 0);
    EXPECT_EQ(r.beats[4].sample, 80 + 82 + 255 + 1);
    EXPECT_EQ(r.beats[2].source, BeatSource::RrFile);
    EXPECT_DOUBLE_EQ(r.BeatSeconds(r.beats[1]), 0.8);
    EXPECT_EQ(IntervalTicks(r), (std::vector<std::int32_t>{80, 82, 255, 1}));
    EXPECT_TRUE(IntervalTicks(RecordingFromWords({})).empty());
}

} // namespace
} // namespace hrv
