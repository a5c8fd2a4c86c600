// The beats behind the window's analysis: a session over an opened file analyses what a plain
// open analyses, edits change the results and their undo gives them back exactly, the fragment
// moves, and the beats saved beside an RR file restore the edits.
#include "files/file_io.h"
#include "presentation/beat_session.h"
#include "presentation/chart_data.h"
#include "presentation/open_fragment.h"
#include "presentation/panel_texts.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace hrv {
namespace {

using test::NewFragment;

struct Opened {
    std::unique_ptr<FragmentData> f = NewFragment();
    std::unique_ptr<PpgWorkspace> w = std::make_unique<PpgWorkspace>();
    std::unique_ptr<BeatSession> session;
};

Opened Open(const std::string& path, FileKind kind, bool correct = false) {
    Opened o;
    o.f->Correct = correct ? CorrectionMode::Auto : CorrectionMode::None;
    EXPECT_EQ(OpenFragment(path, kind, *o.f, *o.w), OpenStatus::Analysed) << path;
    int channel = -1;
    SignalRecording r = RecordingOfOpen(kind, *o.f, *o.w, channel);
    o.session = std::make_unique<BeatSession>(std::move(r), channel, correct);
    return o;
}

// The results a user reads, compared exactly.
void ExpectSameResults(const FragmentData& a, const FragmentData& b) {
    EXPECT_EQ(a.FragmentCount, b.FragmentCount);
    EXPECT_EQ(a.TimeIndices.SDNN, b.TimeIndices.SDNN);
    EXPECT_EQ(a.TimeIndices.RMSSD, b.TimeIndices.RMSSD);
    EXPECT_EQ(a.TimeIndices.HR, b.TimeIndices.HR);
    EXPECT_EQ(a.SpectralIndices.Total, b.SpectralIndices.Total);
    EXPECT_EQ(a.SpectralIndices.LFHF, b.SpectralIndices.LFHF);
}

TEST(BeatSession, UneditedRrFileAndListAnalyseAsAPlainOpen) {
    for (const auto& [name, kind] : {std::pair{"nk_resting8min_ecg_0-6min.rr", FileKind::Rr},
                                     std::pair{"bidmc01_110-470s_ref_ecg.rr", FileKind::Rr}}) {
        Opened o = Open(std::string(HRV_SHARED_DATA) + "/" + name, kind);
        auto plain = NewFragment();
        *plain = *o.f;
        ASSERT_TRUE(AnalyseSession(*o.session, *o.f, ','));
        ExpectSameResults(*plain, *o.f);
        EXPECT_EQ(StatPanelText(*plain, ','), StatPanelText(*o.f, ',')) << name;
        EXPECT_FALSE(o.session->EditedByHand());
        EXPECT_EQ(o.session->Identity("x.rr 01.02.2026"), "x.rr 01.02.2026");
    }
}

// The device's second byte of each word stays with its interval through the session, so a Save
// writes it back; an interval an edit makes has none.
TEST(BeatSession, AnRrFilesSecondBytesStayWithTheirIntervals) {
    const test::ScratchDir dir;
    const std::string path = dir / "second_bytes.rr";
    std::string image = test::RrImage(test::TwoBandRhythm(400, 80));
    for (std::size_t at = 2; at < image.size(); at += 2) {
        image[at] = static_cast<char>(1 + (at / 2) % 200);
    }
    test::WriteBytes(path, image);
    Opened o = Open(path, FileKind::Rr);
    const std::vector<std::uint16_t> read(o.f->RrWords.begin() + 1, o.f->RrWords.begin() + 401);
    ASSERT_TRUE(AnalyseSession(*o.session, *o.f, ','));
    EXPECT_EQ(std::vector<std::uint16_t>(o.f->RrWords.begin() + 1, o.f->RrWords.begin() + 401),
              read);

    const SignalRecording& r = o.session->Recording();
    ASSERT_TRUE(o.session->Editor().Remove(r.BeatSeconds(r.beats[100])));
    ASSERT_TRUE(AnalyseSession(*o.session, *o.f, ','));
    EXPECT_EQ(o.f->RrWords[100], ((read[99] >> 8) + (read[100] >> 8)) * 256);
    for (int k = 1; k <= 399; ++k) {
        if (k != 100) {
            ASSERT_EQ(o.f->RrWords[k], read[k < 100 ? k - 1 : k]) << k;
        }
    }
}

TEST(BeatSession, PpgPulsesSitOnTheirFramesAndAnalyse) {
    Opened o = Open(std::string(HRV_SHARED_DATA) + "/bidmc01_110-470s.ppg", FileKind::Ppg);
    ASSERT_TRUE(o.session->HasSignal());
    const SignalRecording& r = o.session->Recording();
    ASSERT_EQ(r.beats.size(), static_cast<std::size_t>(o.w->PulseCount) + 1);
    // Every kept interval ends at its pulse, wherever the decoder dropped one before it.
    for (std::int32_t k = 1; k <= o.w->PulseCount; ++k) {
        EXPECT_EQ(r.beats[static_cast<std::size_t>(k)].sample, o.w->PulseFrames[k] - 1);
    }
    ASSERT_TRUE(AnalyseSession(*o.session, *o.f, ','));
    EXPECT_GT(o.f->TimeIndices.SDNN, 0);
}

TEST(BeatSession, EditsChangeTheResultsAndUndoGivesThemBack) {
    Opened o = Open(std::string(HRV_SHARED_ECG) + "/mitdb/100.hea", FileKind::Wfdb, true);
    BeatSession& s = *o.session;
    ASSERT_TRUE(s.HasSignal());
    ASSERT_TRUE(s.Fragment().Partial());
    ASSERT_TRUE(AnalyseSession(s, *o.f, ','));
    auto before = NewFragment();
    *before = *o.f;
    EXPECT_EQ(o.f->Correct, CorrectionMode::Auto); // the setting stays the user's
    const std::string line = o.f->CorrectionNote;
    EXPECT_EQ(line.rfind("Коррекция: ", 0), 0u) << line;

    const Beat& beat = s.Recording().beats[100];
    const double t = s.Recording().BeatSeconds(beat);
    ASSERT_TRUE(s.Editor().Remove(t));
    ASSERT_TRUE(AnalyseSession(s, *o.f, ','));
    EXPECT_NE(o.f->TimeIndices.RMSSD, before->TimeIndices.RMSSD);
    EXPECT_NE(o.f->CorrectionNote.find("вручную: 1"), std::string::npos) << o.f->CorrectionNote;
    EXPECT_NE(StatPanelText(*o.f, ',').find("вручную: 1"), std::string::npos);
    EXPECT_EQ(s.Identity("100.hea d"), "100.hea d (коррекция) (вручную)");

    ASSERT_TRUE(s.Editor().Undo());
    ASSERT_TRUE(AnalyseSession(s, *o.f, ','));
    ExpectSameResults(*before, *o.f);
    EXPECT_EQ(o.f->CorrectionNote, line);
}

TEST(BeatSession, TheFragmentMovesAndCarriesItsStart) {
    Opened o = Open(std::string(HRV_SHARED_ECG) + "/mitdb/100.hea", FileKind::Wfdb);
    BeatSession& s = *o.session;
    ASSERT_TRUE(s.MoveFragment(750));
    EXPECT_NEAR(s.Fragment().start, 750, 1.5);
    EXPECT_FALSE(s.MoveFragment(s.Fragment().start));
    ASSERT_TRUE(AnalyseSession(s, *o.f, ','));
    // The analysed intervals are the fragment's own, from its first beat.
    const std::vector<std::int32_t> ticks = FragmentTicks(s.Recording(), s.Fragment());
    ASSERT_GE(o.f->RrCount, static_cast<std::int32_t>(ticks.size()));
    for (std::size_t k = 0; k < ticks.size(); ++k) {
        ASSERT_EQ(o.f->RrWords[k + 1] >> 8, ticks[k]) << k;
    }
    EXPECT_EQ(s.Label().rfind("00:12:", 0), 0u) << s.Label();
    EXPECT_NE(s.Identity("100.hea d").find(" [00:12:"), std::string::npos);
    // Beyond the end the last whole fragment is taken.
    ASSERT_TRUE(s.MoveFragment(1e9));
    EXPECT_LE(s.Fragment().End(), s.Fragment().total + 1e-9);
}

TEST(BeatSession, BeatsSavedBesideTheRrFileRestoreTheEdits) {
    Opened o = Open(std::string(HRV_SHARED_ECG) + "/mitdb/100.hea", FileKind::Wfdb);
    BeatSession& s = *o.session;
    ASSERT_TRUE(s.MoveFragment(300));
    const double t = s.Recording().BeatSeconds(s.Recording().beats[500]);
    ASSERT_TRUE(s.Editor().Remove(t));
    ASSERT_TRUE(s.Editor().Add(t + 0.3));
    ASSERT_TRUE(AnalyseSession(s, *o.f, ','));
    const std::int32_t words = FragmentWords(*o.f);
    ASSERT_LT(words, o.f->RrCount);
    const std::vector<std::uint16_t> saved(o.f->RrWords.begin() + 1,
                                           o.f->RrWords.begin() + 1 + words);

    auto restored = BeatSession::FromBeatsCsv(s.FragmentBeatsCsv(words), false);
    EXPECT_EQ(restored->Recording().beatRate, 360);
    EXPECT_TRUE(restored->EditedByHand());
    auto f = NewFragment();
    ASSERT_TRUE(AnalyseSession(*restored, *f, ','));
    EXPECT_EQ(
        std::vector<std::uint16_t>(f->RrWords.begin() + 1, f->RrWords.begin() + 1 + f->RrCount),
        saved);
    EXPECT_EQ(f->CorrectionNote, o.f->CorrectionNote);
    EXPECT_THROW(BeatSession::FromBeatsCsv("not,a,beats,file\n", false), std::runtime_error);
}

// The rhythmogram takes the marks: after a beat is deleted, the merged interval (and only it) is
// drawn in the colour of a removed beat, at the samples the resampling gave it.
TEST(BeatSession, TheRhythmogramColoursTheIntervalOfAChangedBeat) {
    Opened o = Open(std::string(HRV_SHARED_DATA) + "/nk_resting8min_ecg_0-6min.rr", FileKind::Rr);
    BeatSession& s = *o.session;
    const SignalRecording& r = s.Recording();
    ASSERT_TRUE(s.Editor().Remove(r.BeatSeconds(r.beats[20])));
    ASSERT_TRUE(AnalyseSession(s, *o.f, ','));
    std::vector<ChartPoint> points = RhythmogramPoints(*o.f);
    MarkRhythmogram(s, *o.f, points);
    // Interval 20 now spans beats 19 to 21; the rhythmogram starts with interval 2.
    int first = 0;
    for (int p = 2; p < 20; ++p) {
        first += o.f->AnalysisSeries[static_cast<std::size_t>(p)];
    }
    const int ticks = o.f->AnalysisSeries[20];
    EXPECT_EQ(ticks, (r.beats[21].sample - r.beats[19].sample));
    const Rgb removed = BeatMarkColour(BeatMark::Removed);
    for (int slot = 1; slot <= static_cast<int>(points.size()); ++slot) {
        const bool inside = slot >= first && slot < first + ticks;
        ASSERT_EQ(points[static_cast<std::size_t>(slot - 1)].color == removed, inside) << slot;
    }
}

TEST(BeatSession, StartTimesAsTyped) {
    EXPECT_EQ(ParseClockTime("1:02:03"), 3723.0);
    EXPECT_EQ(ParseClockTime(" 12:30 "), 750.0);
    EXPECT_EQ(ParseClockTime("45,5"), 45.5);
    EXPECT_EQ(ParseClockTime("75"), 75.0);
    for (const char* bad : {"", "12:75", "1:2:3:4", "-5", "1.5:00", "ab", "12:"}) {
        EXPECT_FALSE(ParseClockTime(bad).has_value()) << bad;
    }
}

} // namespace
} // namespace hrv
