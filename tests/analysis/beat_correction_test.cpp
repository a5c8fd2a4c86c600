// Artefact beats found and corrected on beat times, on real series with beats broken by hand.
#include "analysis/beat_correction.h"
#include "analysis/ticks.h"
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

// The marks and the artefacts tell the same story: every corrected interval marked lies on an
// artefact (the input interval it names or the one after it, which a moved beat also touches),
// and every artefact has a marked interval there.
void ExpectMarksAgree(const Ticks& input, const BeatCorrection& c) {
    std::vector<long> in{0};
    for (const std::uint8_t v : input) {
        in.push_back(in.back() + v);
    }
    const auto span = [&](const Artefact& a) {
        const auto i = static_cast<std::size_t>(a.index);
        return std::pair{in[i], in[std::min(i + 2, in.size() - 1)]};
    };
    std::vector<bool> seen(c.artefacts.size(), false);
    long at = 0;
    for (std::size_t k = 0; k < c.ticks.size(); at += c.ticks[k], ++k) {
        if (c.marks[k] == 0) {
            continue;
        }
        bool covered = false;
        for (std::size_t a = 0; a < c.artefacts.size(); ++a) {
            const auto [from, to] = span(c.artefacts[a]);
            if (from < at + c.ticks[k] && at <= to) {
                covered = true;
                seen[a] = true;
            }
        }
        EXPECT_TRUE(covered) << "marked interval " << k << " with no artefact";
    }
    for (std::size_t a = 0; a < seen.size(); ++a) {
        EXPECT_TRUE(seen[a]) << "artefact at " << c.artefacts[a].index << " with no mark";
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
    ExpectMarksAgree(in, c);
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
    ExpectMarksAgree(dropout, c);
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
    ExpectMarksAgree(bigeminy, c);
    // The run is replaced as one stretch: each of its 24 intervals is counted, as it is marked.
    EXPECT_EQ(c.artefacts.size(), 24u);
    for (std::size_t i = 370; i < 415; ++i) {
        EXPECT_NEAR(c.ticks[i], truth[i], 10) << "interval " << i;
    }
}

// A paced heart or a very steady one: beats a tick off, an alternation of one tick and a step
// of the rate are its own, not artefacts.
TEST(BeatCorrection, VeryRegularSeriesAreLeftAlone) {
    const auto ms = [](int v) { return static_cast<std::uint8_t>(MsToTicks(v)); };
    const auto run = [&](std::size_t count, int v) { return Ticks(count, ms(v)); };
    const auto join = [](std::initializer_list<Ticks> parts) {
        Ticks t;
        for (const Ticks& p : parts) {
            t.insert(t.end(), p.begin(), p.end());
        }
        return t;
    };
    std::vector<Ticks> inputs{join({run(100, 800), run(1, 810), run(300, 800)}),
                              join({run(200, 800), run(1, 820), run(200, 800)}),
                              join({run(200, 800), run(1, 850), run(200, 800)})};
    Ticks every;
    for (int i = 0; i < 1000; ++i) {
        every.push_back(ms(i % 100 == 99 ? 810 : 800));
    }
    inputs.push_back(every);
    Ticks alternation;
    for (int i = 0; i < 500; ++i) {
        alternation.push_back(ms(i % 2 == 0 ? 800 : 810));
    }
    inputs.push_back(alternation);
    for (std::size_t at = 20; at < 120; at += 7) { // every place relative to the statistics' stride
        inputs.push_back(join({run(at, 800), run(500 - at, 600)}));
        inputs.push_back(join({run(at, 600), run(500 - at, 800)}));
    }
    for (const Ticks& in : inputs) {
        const BeatCorrection c = Correct(in);
        EXPECT_TRUE(c.artefacts.empty()) << c.artefacts.size() << " flags, first at "
                                         << (c.artefacts.empty() ? -1 : c.artefacts[0].index);
        EXPECT_EQ(c.ticks, in);
    }
}

// A fragment's correction does not change with what follows it minutes later: nothing more than
// 150 intervals past its end is read.
TEST(BeatCorrection, AFragmentIsCorrectedAsItselfWhateverFollows) {
    const std::string dir = test::SharedData();
    if (dir.empty()) {
        GTEST_SKIP() << "no shared recordings";
    }
    Ticks head = Recording(dir + "/polar_rest_00-06min.rr");
    const BeatCorrection alone = Correct(head);
    Ticks longer = head;
    for (const char* name : {"nsrdb_long_30-36min.rr", "polar_exercise_06-12min.rr",
                             "polar_noisy_150-510s.rr", "nsrdb_short_5min.rr"}) {
        const Ticks more = Recording(dir + "/" + name);
        longer.insert(longer.end(), more.begin(), more.end());
    }
    const BeatCorrection within = Correct(longer);
    const std::size_t fragment = head.size() - 150;
    ASSERT_GE(within.ticks.size(), fragment);
    EXPECT_TRUE(
        std::equal(alone.ticks.begin(), alone.ticks.begin() + fragment, within.ticks.begin()));
    const auto before = [&](const std::vector<Artefact>& a) {
        std::vector<std::int32_t> v;
        for (const Artefact& x : a) {
            if (static_cast<std::size_t>(x.index) < fragment) {
                v.push_back(x.index);
            }
        }
        return v;
    };
    EXPECT_EQ(before(alone.artefacts), before(within.artefacts));
}

// A burst of noise is replaced whole, and every beat it changed is an artefact of its kind.
TEST(BeatCorrection, ANoiseBurstIsCountedAsItIsMarked) {
    Ticks in = Sample();
    std::uint32_t seed = 7;
    for (std::size_t i = 200; i < 225; ++i) {
        seed = seed * 1103515245u + 12345u;
        in[i] = static_cast<std::uint8_t>(30 + (seed >> 16) % 120);
    }
    const BeatCorrection c = Correct(in);
    ExpectWellFormed(in, c);
    const auto noise = std::count_if(c.marks.begin(), c.marks.end(), [](std::uint8_t m) {
        return m == static_cast<std::uint8_t>(ArtefactKind::Long) ||
               m == static_cast<std::uint8_t>(ArtefactKind::Short);
    });
    EXPECT_GT(noise, 10);
    ExpectMarksAgree(in, c);
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
