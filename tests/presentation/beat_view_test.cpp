// The signal strip's geometry, beats edited by hand, their file, and the analysed fragment.
#include "analysis/beat_correction.h"
#include "files/file_io.h"
#include "files/wfdb_signal.h"
#include "presentation/beat_edits.h"
#include "presentation/fragment_choice.h"
#include "presentation/panel_texts.h"
#include "presentation/signal_strip.h"
#include "tests/support/test_support.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace hrv {
namespace {

using test::NewFragment;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

double Sec(const Beat& b) {
    return static_cast<double>(b.sample) / 360;
}

// A channel at 360 Hz of Gaussian R waves (height `height`, 8 ms wide) every `period` seconds
// from 0.5 s on, with a little noise, and a recording of those beats.
SignalRecording PeakRecording(double seconds, double period, double height, unsigned seed) {
    SignalRecording r;
    r.beatRate = 360;
    SignalChannel c;
    c.name = "MLII";
    c.rate = 360;
    const auto n = static_cast<std::size_t>(seconds * c.rate);
    std::vector<double> x(n, 0.0);
    for (double t = 0.5; t < seconds - 0.5; t += period) {
        const auto peak = static_cast<std::int64_t>(std::llround(t * c.rate));
        r.beats.push_back(Beat{peak, BeatSource::Detected, BeatKind::Unknown, 0});
        for (std::int64_t k = peak - 20; k <= peak + 20; ++k) {
            const double d = static_cast<double>(k - peak) / (0.008 * c.rate);
            x[static_cast<std::size_t>(k)] += height * std::exp(-0.5 * d * d);
        }
    }
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-5, 5);
    for (const double v : x) {
        c.raw16.push_back(static_cast<std::int16_t>(std::lround(v * c.gain) + noise(rng)));
    }
    r.channels.push_back(std::move(c));
    return r;
}

std::vector<std::int64_t> Samples(const std::vector<EditedBeat>& beats) {
    std::vector<std::int64_t> s;
    for (const EditedBeat& b : beats) {
        s.push_back(b.beat.sample * 16 + static_cast<int>(b.mark) * 2 + (b.present ? 1 : 0));
    }
    return s;
}

TEST(SignalStrip, EnvelopeEqualsEveryColumnsMinimumAndMaximum) {
    std::mt19937 rng(7);
    for (const bool wide : {false, true}) {
        SignalChannel c;
        c.rate = 360;
        c.gain = wide ? -150 : 200;
        c.baseline = 12;
        const std::size_t n = 360 * 900 + 17;
        std::uniform_int_distribution<int> value(wide ? -100000 : -2000, wide ? 100000 : 2000);
        for (std::size_t i = 0; i < n; ++i) {
            if (wide) {
                c.raw32.push_back(value(rng));
            } else {
                c.raw16.push_back(static_cast<std::int16_t>(value(rng)));
            }
        }
        const EnvelopePyramid pyramid(c);
        StripViewport view(static_cast<double>(n) / c.rate, 100);
        std::uniform_real_distribution<double> unit(0, 1);
        for (int trial = 0; trial < 24; ++trial) {
            const int width = 1 + static_cast<int>(unit(rng) * 1700);
            const double span = trial == 0 ? view.Total() : std::exp(unit(rng) * std::log(900.0));
            // Both edges of the recording as well as random places.
            const double start = trial % 3 == 1 ? 0 : trial % 3 == 2 ? 1e9 : unit(rng) * 900;
            view.SetWidth(width);
            view.Show(start, span);
            std::vector<EnvelopeColumn> expected(static_cast<std::size_t>(width));
            for (std::size_t i = 0; i < n; ++i) {
                const double col = std::floor((static_cast<double>(i) / c.rate - view.Start()) /
                                              view.SecondsPerPixel());
                if (col < 0 || col >= width) {
                    continue;
                }
                EnvelopeColumn& e = expected[static_cast<std::size_t>(col)];
                const auto v = static_cast<float>(c.Physical(i));
                e.lo = e.empty ? v : std::min(e.lo, v);
                e.hi = e.empty ? v : std::max(e.hi, v);
                e.empty = false;
            }
            const auto got = pyramid.Envelope(view);
            ASSERT_EQ(got.size(), expected.size());
            for (std::size_t k = 0; k < got.size(); ++k) {
                ASSERT_EQ(got[k].empty, expected[k].empty) << trial << " column " << k;
                ASSERT_EQ(got[k].lo, expected[k].lo) << trial << " column " << k;
                ASSERT_EQ(got[k].hi, expected[k].hi) << trial << " column " << k;
            }
        }
        EXPECT_LT(pyramid.MemoryBytes(), n / 4);
    }
}

TEST(SignalStrip, ViewportZoomsAroundTheCursorAndStaysInsideTheRecording) {
    StripViewport view(3600, 1600);
    EXPECT_EQ(view.Span(), 3600);
    const double at = view.TimeAt(400);
    view.Zoom(10, 400);
    EXPECT_NEAR(view.Span(), 360, 1e-9);
    EXPECT_NEAR(view.TimeAt(400), at, 1e-9);
    view.Zoom(1e6, 400); // one second at the least
    EXPECT_EQ(view.Span(), 1);
    EXPECT_NEAR(view.TimeAt(400), at, 1e-9);
    view.ScrollPixels(-1e9);
    EXPECT_EQ(view.Start(), 0);
    view.ScrollSeconds(1e9);
    EXPECT_EQ(view.Start(), 3599);
    EXPECT_NEAR(view.XOf(3599.5), 800, 1e-9);
    view.CentreOn(1000);
    EXPECT_NEAR(view.Start(), 999.5, 1e-9);
    view.Zoom(1e-9, 0); // the whole recording at the most
    EXPECT_EQ(view.Start(), 0);
    EXPECT_EQ(view.Span(), 3600);
    StripViewport shortOne(0.4, 100); // shorter than the least span
    EXPECT_EQ(shortOne.Span(), 0.4);
}

TEST(SignalStrip, MarksAndReadoutCountOnlyPresentBeats) {
    const std::vector<MarkedBeat> beats{{100, BeatMark::Normal, true},
                                        {200, BeatMark::Removed, false},
                                        {300, BeatMark::Added, true},
                                        {500, BeatMark::Normal, true}};
    StripViewport view(10, 1000); // 100 px a second at beat rate 100
    view.Show(2.5, 5);
    const auto marks = MarksInView(beats, 100, view);
    ASSERT_EQ(marks.size(), 2U);
    EXPECT_EQ(marks[0].index, 2U);
    EXPECT_NEAR(marks[0].x, 100, 1e-9);
    EXPECT_NEAR(marks[0].interval, 2, 1e-12); // from the beat at 1 s: the one at 2 s is removed
    EXPECT_NEAR(marks[1].interval, 2, 1e-12);
    EXPECT_NEAR(ReadoutAt(beats, 100, view, 500).seconds, 5, 1e-12);
    EXPECT_NEAR(ReadoutAt(beats, 100, view, 500).interval, 2, 1e-12);
    EXPECT_EQ(ReadoutAt(beats, 100, view, 900).interval, 0); // after the last beat
    EXPECT_EQ(MarkOfArtefact(static_cast<std::uint8_t>(ArtefactKind::Ectopic)),
              BeatMark::Premature);
}

TEST(BeatEdits, AddedAndMovedBeatsSnapToTheNearestPeakOfEitherPolarity) {
    for (const double height : {1.0, -1.0}) {
        const SignalRecording r = PeakRecording(20, 0.8, height, 3);
        EXPECT_EQ(DominantPolarity(r, 0), height > 0 ? 1 : -1);
        const std::int64_t peak = r.beats[5].sample;
        BeatEditor editor(r, 0);
        EXPECT_EQ(editor.Snap(static_cast<double>(peak) / 360 + 0.06), peak);
        EXPECT_EQ(editor.Snap(static_cast<double>(peak) / 360 - 0.09), peak);
        EXPECT_FALSE(editor.Add(static_cast<double>(peak) / 360 + 0.05));   // a beat is there
        EXPECT_FALSE(editor.Move(Sec(r.beats[5]), Sec(r.beats[6])));        // onto another beat
        EXPECT_FALSE(editor.Move(Sec(r.beats[5]), Sec(r.beats[5]) + 0.05)); // back to its peak
        ASSERT_TRUE(editor.Move(Sec(r.beats[5]), 5.0)); // no peak near: within the window
        ASSERT_EQ(editor.Changes().size(), 1U);
        EXPECT_NEAR(editor.Changes()[0].seconds, 5.0, kSnapWindow + 1e-9);
        EXPECT_NEAR(editor.Changes()[0].oldInterval, 0.8, 1e-9);
        EXPECT_EQ(editor.Changes()[0].mark, BeatMark::Moved);
    }
    SignalRecording r = PeakRecording(20, 0.8, 1, 3);
    // An inverted ventricular beat three times as deep as the R waves are high.
    for (std::int64_t k = -30; k <= 30; ++k) {
        const double d = static_cast<double>(k) / 10;
        r.channels[0].raw16[3780 + static_cast<std::size_t>(k)] -=
            static_cast<std::int16_t>(600 * std::exp(-0.5 * d * d));
    }
    EXPECT_NEAR(static_cast<double>(BeatEditor(r, 0).Snap(10.55)), 3780, 2);
    BeatEditor blind(r, -1); // no channel: the time itself
    EXPECT_EQ(blind.Snap(Sec(r.beats[5]) + 0.05), r.beats[5].sample + 18);
}

TEST(BeatEdits, EveryEditUndoesAndRedoesToTheExactBeats) {
    const SignalRecording r = PeakRecording(120, 0.83, 1, 5);
    BeatEditor editor(r, 0);
    editor.SetFragment(true, 0, 120);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> when(0, 120);
    std::vector<std::vector<std::int64_t>> states{Samples(editor.Beats())};
    const auto original = editor.Edited().beats;
    for (int step = 0; step < 200; ++step) {
        bool done = false;
        switch (rng() % 5) {
        case 0:
            done = editor.Add(when(rng));
            break;
        case 1:
        case 2: {
            const auto beats = editor.Beats();
            const double t = Sec(beats[rng() % beats.size()].beat);
            done = rng() % 2 ? editor.Remove(t) : editor.Move(t, t + 0.3);
            break;
        }
        default: {
            const std::size_t n = editor.Proposals().size();
            if (n > 0) {
                const std::size_t k = rng() % n;
                done = editor.Proposals()[k].accepted ? editor.Reject(k) : editor.Accept(k);
            }
        }
        }
        if (done) {
            states.push_back(Samples(editor.Beats()));
        }
    }
    ASSERT_GT(states.size(), 100U);
    EXPECT_GT(editor.ManualCount(0, 120), 0);
    for (std::size_t k = states.size() - 1; k > 0; --k) {
        ASSERT_TRUE(editor.Undo());
        ASSERT_EQ(Samples(editor.Beats()), states[k - 1]) << k;
    }
    EXPECT_FALSE(editor.Undo());
    const auto back = editor.Edited().beats;
    ASSERT_EQ(back.size(), original.size());
    for (std::size_t k = 0; k < back.size(); ++k) {
        EXPECT_EQ(back[k].sample, original[k].sample);
    }
    while (editor.Redo()) {
    }
    EXPECT_EQ(Samples(editor.Beats()), states.back());
}

TEST(BeatEdits, AMissedBeatIsProposedAcceptedRejectedAndCounted) {
    SignalRecording r = PeakRecording(400, 0.8, 1, 9);
    r.beats.erase(r.beats.begin() + 200); // a beat the detector missed, at 160.5 s
    BeatEditor editor(r, 0);
    editor.SetFragment(true, 100, 400);
    ASSERT_EQ(editor.Proposals().size(), 1U);
    EXPECT_EQ(editor.Proposals()[0].mark, BeatMark::Missed);
    EXPECT_EQ(editor.Edited().beats.size(), r.beats.size() + 1);
    ASSERT_EQ(editor.Changes().size(), 1U);
    EXPECT_NEAR(editor.Changes()[0].oldInterval, 1.6, 1e-9);
    EXPECT_NEAR(editor.Changes()[0].newInterval, 0.8, 0.011);
    EXPECT_EQ(editor.AutomaticCount(100, 400), 1);
    EXPECT_EQ(ChangeLine(editor.Changes()[0]).rfind("00:02:40\tпропущенный\t1600 → ", 0), 0U);
    ASSERT_TRUE(editor.Reject(0));
    EXPECT_EQ(editor.Edited().beats.size(), r.beats.size());
    EXPECT_EQ(editor.AutomaticCount(100, 400), 0);
    EXPECT_TRUE(editor.Undo());
    // Outside the fragment nothing is proposed; beats far away change nothing in it.
    editor.SetFragment(true, 200, 400);
    EXPECT_TRUE(editor.Proposals().empty());
    SignalRecording longer = r;
    longer.beats.resize(400);
    BeatEditor head(longer, -1);
    head.SetFragment(true, 100, 200);
    SignalRecording mended = r;
    mended.beats.erase(mended.beats.begin() + 440); // far past the fragment and its margin
    BeatEditor whole(mended, -1);
    whole.SetFragment(true, 100, 200);
    ASSERT_EQ(whole.Proposals().size(), head.Proposals().size());
    EXPECT_EQ(whole.Proposals()[0].inserted, head.Proposals()[0].inserted);
}

TEST(BeatEdits, AcceptedProposalsGiveTheCorrectorsIntervalsOnARealRecord) {
    const std::string path = std::string(HRV_SHARED_ECG) + "/mitdb/100.hea";
    if (!FileExists(path)) {
        GTEST_SKIP() << "no ../shared/ecg";
    }
    WfdbReadOptions options;
    options.annotator = "atr";
    const SignalRecording r = ReadWfdbRecord(path, options);
    const auto ticks = IntervalTicks(r);
    const std::vector<std::uint8_t> input(ticks.begin(), ticks.end());
    BeatCorrection expected;
    CorrectBeats(input, expected);
    ASSERT_FALSE(expected.artefacts.empty());
    BeatEditor editor(r, r.ChannelIndex("MLII"));
    editor.SetFragment(true, 0, 1e9); // the whole record: no neighbourhood left out
    const auto accepted = IntervalTicks(editor.Edited());
    EXPECT_EQ(std::vector<std::uint8_t>(accepted.begin(), accepted.end()), expected.ticks);
    EXPECT_EQ(editor.AutomaticCount(0, 1e9), static_cast<int>(expected.artefacts.size()));
    for (std::size_t k = 0; k < editor.Proposals().size(); ++k) {
        ASSERT_TRUE(editor.Reject(k));
    }
    EXPECT_EQ(IntervalTicks(editor.Edited()), ticks);
}

TEST(BeatEdits, CorrectionLineKeepsTodaysTextUntilABeatIsChangedByHand) {
    EXPECT_EQ(EditedCorrectionText(3, 0, 397, ','), "Коррекция: 3 из 397 (0,8 %)");
    EXPECT_EQ(EditedCorrectionText(4, 2, 446, ','), "Коррекция: 4 из 446 (0,9 %), вручную: 2");
    auto f = NewFragment();
    f->Corrected = true;
    f->FragmentCount = 397;
    EXPECT_EQ(EditedCorrectionText(0, 0, 397, '.'), CorrectionText(*f, '.'));
}

TEST(BeatEdits, BeatsFileReadsBackWhatWasWrittenAndNeverReplacesTheRecording) {
    const SignalRecording r = PeakRecording(30, 0.8, 1, 4);
    BeatEditor editor(r, 0);
    ASSERT_TRUE(editor.Remove(Sec(r.beats[3])));
    ASSERT_TRUE(editor.Add(Sec(r.beats[7]) + 0.4));
    ASSERT_TRUE(editor.Move(Sec(r.beats[10]), Sec(r.beats[10]) + 0.3));
    const auto beats = editor.Beats();
    const std::string text = BeatsCsvText(beats, 360);
    EXPECT_EQ(text.substr(0, 55), "time_s,sample,kind,source,edit,original_sample,present\n");
    EXPECT_NE(text.find("\n2.900000,1044,unknown,detected,removed,1044,0\n"), std::string::npos);
    const auto read = ReadBeatsCsv(text);
    ASSERT_EQ(read.size(), beats.size());
    for (std::size_t k = 0; k < read.size(); ++k) {
        EXPECT_EQ(read[k].beat.sample, beats[k].beat.sample);
        EXPECT_EQ(read[k].mark, beats[k].mark);
        EXPECT_EQ(read[k].present, beats[k].present);
        EXPECT_EQ(read[k].original, beats[k].original);
        EXPECT_EQ(read[k].beat.source, beats[k].beat.source);
    }
    BeatEditor reopened(r, 0);
    reopened.Restore(read);
    EXPECT_EQ(Samples(reopened.Beats()), Samples(beats));
    EXPECT_EQ(reopened.ManualCount(0, 30), 3);
    EXPECT_THROW(ReadBeatsCsv(text + "99.0,x,unknown,detected,norm,1,1\n"), std::runtime_error);
    EXPECT_THROW(ReadBeatsCsv(text + "0.1,36,unknown,detected,norm,36,1\n"), std::runtime_error);
    EXPECT_EQ(BeatsCsvPath("/a.b/rec.rr"), "/a.b/rec.beats.csv");
    EXPECT_EQ(BeatsCsvPath("/a.b/rec"), "/a.b/rec.beats.csv");
    const ScratchDir dir;
    const std::string source = dir / "rec.rr";
    WriteBytes(source, std::string_view("RR"));
    EXPECT_THROW(SaveBeatsCsv(source, source, text), FileIoError);
    SaveBeatsCsv(BeatsCsvPath(source), source, text);
    EXPECT_EQ(ReadBytes<std::string>(source), "RR");
    EXPECT_EQ(ReadBytes<std::string>(BeatsCsvPath(source)), text);
}

TEST(FragmentChoice, FragmentSnapsToABeatStaysInsideAndIsLabelled) {
    std::vector<Beat> beats;
    for (std::int64_t s = 0; s <= 3600; ++s) {
        beats.push_back(Beat{s * 4, BeatSource::RrFile, BeatKind::Unknown, 0}); // one a second
    }
    FragmentChoice f = ChooseFragment(beats, 4, 3600, 750.3);
    EXPECT_EQ(f.start, 750);
    EXPECT_TRUE(f.Partial());
    EXPECT_EQ(FragmentLabel(f), "00:12:30–00:17:30 из 1:00:00");
    f = ChooseFragment(beats, 4, 3600, 1e9);
    EXPECT_EQ(FragmentLabel(f), "00:55:00–01:00:00 из 1:00:00");
    const BeatRange range = FragmentBeats(beats, 4, f);
    EXPECT_EQ(range.last - range.first, 301U);
    f = ChooseFragment(std::span(beats).first(201), 4, 200, 50);
    EXPECT_EQ(f.start, 0);
    EXPECT_FALSE(f.Partial());
    const auto overview = HeartRateOverview(beats, 4, 3600, 100);
    EXPECT_FALSE(overview[5].empty);
    EXPECT_EQ(overview[5].lo, 60);
    EXPECT_EQ(overview[5].hi, 60);
}

} // namespace
} // namespace hrv
