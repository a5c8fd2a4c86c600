// Artefact beats found and corrected on beat times, on real series with beats broken by hand.
#include "analysis/beat_correction.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <numeric>

namespace hrv {
namespace {

using Ticks = std::vector<std::uint8_t>;

// The intervals of an RR file.
Ticks Recording(const std::string& path) {
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    EXPECT_EQ(LoadFragmentFile(path, FileKind::Rr, *f, *w), LoadResult::Loaded) << path;
    Ticks t;
    for (int k = 1; k <= f->RrCount; ++k) {
        t.push_back(static_cast<std::uint8_t>(f->RrWords[k] >> 8));
    }
    return t;
}

// The shipped sample: six minutes of a real resting NN series.
const Ticks& Sample() {
    static const Ticks t = Recording(HRV_SAMPLE);
    return t;
}

long Sum(const Ticks& t) {
    return std::accumulate(t.begin(), t.end(), 0L);
}

BeatCorrection Correct(const Ticks& t) {
    BeatCorrection c;
    CorrectBeats(t, c);
    return c;
}

// The corrected series keeps the duration, holds 1..255 ticks, one mark per interval, and its
// artefacts in increasing order of index within the input.
void ExpectWellFormed(const Ticks& input, const BeatCorrection& c) {
    EXPECT_EQ(Sum(c.ticks), Sum(input));
    EXPECT_EQ(c.marks.size(), c.ticks.size());
    for (const std::uint8_t v : c.ticks) {
        EXPECT_GE(v, 1);
    }
    for (std::size_t i = 0; i < c.artefacts.size(); ++i) {
        EXPECT_LT(c.artefacts[i].index, static_cast<std::int32_t>(input.size()));
        if (i > 0) {
            EXPECT_LT(c.artefacts[i - 1].index, c.artefacts[i].index);
        }
    }
}

// Every interval but those from `from` to `to` (corrected positions) is the truth's.
void ExpectOnlyChanged(const Ticks& truth, const Ticks& corrected, std::size_t from,
                       std::size_t to) {
    ASSERT_EQ(corrected.size(), truth.size());
    for (std::size_t i = 0; i < truth.size(); ++i) {
        if (i < from || i > to) {
            EXPECT_EQ(corrected[i], truth[i]) << "interval " << i;
        }
    }
}

TEST(BeatCorrection, CleanRealSeriesComeBackExactlyAsTheyWere) {
    std::vector<std::string> files{HRV_SAMPLE};
    if (const std::string dir = test::SharedData(); !dir.empty()) {
        for (const char* name :
             {"nsrdb_long_30-36min.rr", "polar_rest_00-06min.rr", "polar_exercise_06-12min.rr",
              "nk_resting8min_ecg_0-6min.rr", "nsrdb_short_5min.rr"}) {
            files.push_back(dir + "/" + name);
        }
    }
    for (const std::string& path : files) {
        const Ticks t = Recording(path);
        const BeatCorrection c = Correct(t);
        EXPECT_EQ(c.ticks, t) << path;
        EXPECT_TRUE(c.artefacts.empty()) << path;
        EXPECT_EQ(c.marks, Ticks(t.size(), 0)) << path;
    }
}

TEST(BeatCorrection, AMissedBeatIsRestoredAndTheDurationKept) {
    const Ticks& truth = Sample();
    for (const std::size_t k : {100u, 250u, 400u}) {
        Ticks in = truth;
        in[k] = static_cast<std::uint8_t>(in[k] + in[k + 1]); // beat k+1 not detected
        in.erase(in.begin() + static_cast<std::ptrdiff_t>(k) + 1);
        const BeatCorrection c = Correct(in);
        ExpectWellFormed(in, c);
        ASSERT_EQ(c.artefacts.size(), 1u);
        EXPECT_EQ(c.artefacts[0].index, static_cast<std::int32_t>(k));
        EXPECT_EQ(c.artefacts[0].kind, ArtefactKind::Missed);
        ExpectOnlyChanged(truth, c.ticks, k, k + 1);
        // The restored beat lies between its neighbours, within 100 ms of where it was.
        EXPECT_NEAR(c.ticks[k], truth[k], 10);
        EXPECT_EQ(c.marks[k], static_cast<std::uint8_t>(ArtefactKind::Missed));
        EXPECT_EQ(c.marks[k + 1], static_cast<std::uint8_t>(ArtefactKind::Missed));
    }
}

TEST(BeatCorrection, AnExtraBeatIsMergedBackIntoItsInterval) {
    const Ticks& truth = Sample();
    for (const double share : {0.3, 0.7}) {
        const std::size_t k = 180;
        Ticks in = truth;
        const auto first = static_cast<std::uint8_t>(truth[k] * share);
        in[k] = first;
        in.insert(in.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                  static_cast<std::uint8_t>(truth[k] - first));
        const BeatCorrection c = Correct(in);
        ExpectWellFormed(in, c);
        EXPECT_EQ(c.ticks, truth);
        ASSERT_EQ(c.artefacts.size(), 1u);
        EXPECT_EQ(c.artefacts[0].kind, ArtefactKind::Extra);
        EXPECT_EQ(c.artefacts[0].index, static_cast<std::int32_t>(k));
    }
}

// A beat moved by `shift` ticks (negative: early) is put back, and only it: the beats on either
// side stay where they were.
void ExpectMovedBack(std::size_t beat, int shift, ArtefactKind kind) {
    const Ticks& truth = Sample();
    Ticks in = truth;
    in[beat - 1] = static_cast<std::uint8_t>(in[beat - 1] + shift);
    in[beat] = static_cast<std::uint8_t>(in[beat] - shift);
    const BeatCorrection c = Correct(in);
    ExpectWellFormed(in, c);
    ASSERT_EQ(c.artefacts.size(), 1u);
    EXPECT_EQ(c.artefacts[0].index, static_cast<std::int32_t>(beat - 1));
    EXPECT_EQ(c.artefacts[0].kind, kind);
    ExpectOnlyChanged(truth, c.ticks, beat - 1, beat);
    EXPECT_NEAR(c.ticks[beat - 1], truth[beat - 1], 6);
}

TEST(BeatCorrection, APrematureBeatIsMovedWithoutTouchingItsNeighbours) {
    const Ticks& truth = Sample();
    ExpectMovedBack(150, -static_cast<int>(truth[149] * 0.3), ArtefactKind::Ectopic);
    ExpectMovedBack(320, -static_cast<int>(truth[319] * 0.35), ArtefactKind::Ectopic);
}

TEST(BeatCorrection, AMisplacedBeatIsMovedBack) {
    ExpectMovedBack(210, 15, ArtefactKind::Misplaced);
    ExpectMovedBack(330, -12, ArtefactKind::Misplaced);
}

TEST(BeatCorrection, LongRunsDoNotCaptureTheReference) {
    const Ticks& truth = Sample();
    // Half-rate detection: every second beat of 16 missed.
    Ticks dropout;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        if (i >= 200 && i < 216 && i % 2 == 0) {
            dropout.push_back(static_cast<std::uint8_t>(truth[i] + truth[i + 1]));
            ++i;
        } else {
            dropout.push_back(truth[i]);
        }
    }
    BeatCorrection c = Correct(dropout);
    ExpectWellFormed(dropout, c);
    EXPECT_EQ(c.ticks.size(), truth.size());
    EXPECT_EQ(c.artefacts.size(), 8u);
    // Bigeminy: every second beat of 24 premature by a third of the interval before it.
    Ticks bigeminy = truth;
    for (std::size_t beat = 381; beat < 405; beat += 2) {
        const auto shift = static_cast<std::uint8_t>(truth[beat - 1] / 3);
        bigeminy[beat - 1] = static_cast<std::uint8_t>(bigeminy[beat - 1] - shift);
        bigeminy[beat] = static_cast<std::uint8_t>(bigeminy[beat] + shift);
    }
    c = Correct(bigeminy);
    ExpectWellFormed(bigeminy, c);
    EXPECT_EQ(c.artefacts.size(), 12u);
    for (std::size_t i = 370; i < 415; ++i) {
        EXPECT_NEAR(c.ticks[i], truth[i], 10) << "interval " << i;
    }
}

TEST(BeatCorrection, HostileSeriesKeepTheirDurationAndRange) {
    const std::vector<Ticks> inputs{
        {},
        {0},
        {0, 0, 0},
        {255},
        {1, 255, 1, 255, 1, 255, 1, 255, 1},
        {100, 0, 100, 0, 0, 100, 100, 100, 100},
        Ticks(500, 255),
        Ticks(500, 1),
        {255, 255, 1, 1, 255, 255, 1, 1, 128, 0, 255, 7, 255, 3, 200, 60, 60, 61}};
    for (const Ticks& in : inputs) {
        const BeatCorrection c = Correct(in);
        ExpectWellFormed(in, c);
    }
    // Beats on top of one another are dropped and marked on the interval that holds them.
    const BeatCorrection c = Correct({100, 0, 100, 100, 100, 100, 100});
    EXPECT_EQ(c.ticks, Ticks(6, 100));
    ASSERT_FALSE(c.artefacts.empty());
    EXPECT_EQ(c.artefacts[0].index, 1);
    EXPECT_EQ(c.artefacts[0].kind, ArtefactKind::Extra);
}

} // namespace
} // namespace hrv
