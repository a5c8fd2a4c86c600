// An ECG record analysed as any file: its detected or annotated beats' intervals.
#include "files/recording.h"
#include "service/file_analysis.h"
#include "service/standard_analysis.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_support.h"

#include <cmath>
#include <fstream>
#include <memory>

namespace hrv {
namespace {

const std::string kRecord = std::string(HRV_SHARED_ECG) + "/mitdb/100";

TEST(EcgAnalysis, DetectedAndAnnotatedBeatsOfRecord100GiveItsRhythm) {
    // The reference beats of record 100 (its .atr as a CSV): one interval fewer.
    std::ifstream csv(kRecord + ".beats.csv");
    std::int64_t references = -1; // the header line
    for (std::string line; std::getline(csv, line);) {
        ++references;
    }
    ASSERT_GT(references, 2000);
    for (const BeatChoice beats : {BeatChoice::Detect, BeatChoice::Annotations}) {
        auto w = std::make_unique<FileWorker>();
        w->workspace.Record.beats = beats;
        ASSERT_EQ(AnalyseFile(kRecord + ".hea", FileKind::Wfdb, w->fragment, w->workspace), "");
        EXPECT_EQ(w->workspace.Record.channelTaken, "MLII");
        // Sinus rhythm of about 75 a minute over its first 300 s.
        EXPECT_GE(w->fragment.TimeIndices.HR, 70);
        EXPECT_LE(w->fragment.TimeIndices.HR, 80);
        std::vector<std::uint16_t> words;
        ASSERT_EQ(ReadRecording(kRecord + ".dat", FileKind::Wfdb, w->workspace, words),
                  LoadResult::Loaded);
        if (beats == BeatChoice::Annotations) {
            EXPECT_EQ(static_cast<std::int64_t>(words.size()), references - 1);
        } else {
            EXPECT_NEAR(static_cast<double>(words.size()), static_cast<double>(references - 1), 5);
        }
    }
}

// Every kind of file reads as a recording with its beats: a PPG file's pulses on its wave's own
// time axis (where the window shows them), an RR file's beats a tick apart as its intervals.
TEST(EcgAnalysis, EveryFileReadsAsARecordingWithItsBeats) {
    const std::string data = test::SharedData();
    if (data.empty()) {
        GTEST_SKIP() << "no shared data";
    }
    RecordChoice choice;
    const std::string ppg = data + "/bidmc01_110-470s.ppg";
    const SignalRecording wave =
        ReadBeatsOfFile(ppg, FileKind::Ppg, choice, Executor::CallingThreadOnly());
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_TRUE(DecodePpgFile(ppg, *w));
    ASSERT_EQ(wave.channels.size(), 1u);
    EXPECT_EQ(choice.channelTaken, "PPG");
    EXPECT_EQ(wave.channels[0].Size(), static_cast<std::size_t>(w->FrameCount));
    ASSERT_EQ(wave.beats.size(), static_cast<std::size_t>(w->PulseCount) + 1);
    for (std::int32_t k = 1; k <= w->PulseCount; ++k) {
        const auto& b = wave.beats[static_cast<std::size_t>(k)];
        ASSERT_EQ(b.sample, w->PulseFrames[static_cast<std::size_t>(k)] - 1) << k;
        EXPECT_EQ(b.source, BeatSource::Device);
    }
    EXPECT_EQ(wave.beats[1].sample - wave.beats[0].sample, w->PulseIntervals[1]);
    const std::string rr = data + "/polar_rest_00-06min.rr";
    const SignalRecording beats =
        ReadBeatsOfFile(rr, FileKind::Rr, choice, Executor::CallingThreadOnly());
    std::vector<std::uint16_t> words;
    ASSERT_EQ(ReadRecording(rr, FileKind::Rr, *w, words), LoadResult::Loaded);
    EXPECT_TRUE(beats.channels.empty());
    ASSERT_EQ(IntervalTicks(beats).size(), words.size());
    for (std::size_t k = 0; k < words.size(); ++k) {
        ASSERT_EQ(IntervalTicks(beats)[k], words[k] >> 8);
    }
    EXPECT_THROW(
        ReadBeatsOfFile(data + "/none.rr", FileKind::Rr, choice, Executor::CallingThreadOnly()),
        FileIoError);
}

// Every kind of file takes one road, its recording: the system's analysis takes the intervals in
// ticks as before, the standard one the same intervals at the beats' own resolution.
TEST(EcgAnalysis, EveryFileGivesItsIntervalsAtTheBeatsOwnResolution) {
    const auto opened = [](const std::string& path, FileKind kind, FileWorker& w) {
        EXPECT_EQ(AnalyseFile(path, kind, w.fragment, w.workspace), "") << path;
        const FileIntervals in = OpenedFileIntervals(path, kind, w.workspace);
        EXPECT_EQ(in.ms.size(), in.ticks.size());
        for (std::size_t k = 0; k < in.ticks.size() && k < kWordCapacity; ++k) {
            EXPECT_EQ(in.ticks[k], w.fragment.RrWords[k + 1] >> 8) << path << " " << k;
        }
        return in;
    };
    auto w = std::make_unique<FileWorker>();
    // A record: each beat at its 1/360 s, each tick rounded from the beat times.
    const FileIntervals record = opened(kRecord + ".hea", FileKind::Wfdb, *w);
    ASSERT_GT(record.ms.size(), 2000u);
    std::size_t offTicks = 0;
    for (std::size_t k = 0; k < record.ms.size(); ++k) {
        EXPECT_LT(std::abs(record.ms[k] - 10.0 * record.ticks[k]), 10.0) << k;
        offTicks += std::fmod(record.ms[k], 10.0) != 0 ? 1 : 0;
    }
    EXPECT_GT(offTicks, record.ms.size() / 2);
    EXPECT_EQ(record.ms, BeatIntervalsMs(w->workspace.LastRecord));

    // An RR list: its intervals as written, each rounded to a tick for the system's analysis, and
    // its beats at 1 us their running sums.
    const test::ScratchDir dir;
    const std::string list = dir / "list.txt";
    std::string text;
    for (int k = 0; k < 100; ++k) {
        text += "805\n812.5\n790.25\n1204\n";
    }
    test::WriteBytes(list, text);
    const FileIntervals written = opened(list, FileKind::Txt, *w);
    ASSERT_EQ(written.ms.size(), 400u);
    EXPECT_EQ(std::vector<double>(written.ms.begin(), written.ms.begin() + 4),
              (std::vector<double>{805, 812.5, 790.25, 1204}));
    EXPECT_EQ(std::vector<std::uint8_t>(written.ticks.begin(), written.ticks.begin() + 4),
              (std::vector<std::uint8_t>{80, 81, 79, 120})); // ties to even
    RecordChoice choice;
    const SignalRecording beats =
        ReadBeatsOfFile(list, FileKind::Txt, choice, Executor::CallingThreadOnly());
    ASSERT_EQ(beats.beats.size(), 401u);
    EXPECT_EQ(beats.beats[400].sample, 361175000);
    EXPECT_DOUBLE_EQ(beats.BeatSeconds(beats.beats[2]), 1.6175);

    // A PPG file: its pulses' frames, while the system keeps the decoder's intervals, some of
    // them timed from a candidate it dropped; the correction judges those ticks, so a kept
    // interval that disagrees with its ms takes its ticks.
    const std::string data = test::SharedData();
    if (data.empty()) {
        GTEST_SKIP() << "no shared data";
    }
    const FileIntervals ppg = opened(data + "/bidmc01_110-470s.ppg", FileKind::Ppg, *w);
    BeatCorrection unchanged;
    unchanged.ticks = ppg.ticks;
    unchanged.marks.assign(ppg.ticks.size(), 0);
    const std::vector<double> kept = CorrectedIntervalsMs(ppg.ms, ppg.ticks, unchanged);
    std::size_t dropped = 0;
    for (std::size_t k = 0; k < ppg.ms.size(); ++k) {
        const bool agree = ppg.ms[k] == 10.0 * ppg.ticks[k];
        dropped += agree ? 0 : 1;
        EXPECT_EQ(kept[k], agree ? ppg.ms[k] : 10.0 * ppg.ticks[k]) << k;
    }
    EXPECT_GT(dropped, 0u);
}

} // namespace
} // namespace hrv
