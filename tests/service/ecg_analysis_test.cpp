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

// Every kind of file takes one road, its recording: the system's analysis takes the intervals in
// ticks as before, the standard one the same beats at their own resolution.
TEST(EcgAnalysis, EveryFileIsARecordingWithItsBeatsAtTheirOwnResolution) {
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
    const auto beatsOf = [&](const std::string& path, FileKind kind) {
        return ReadBeatsOfFile(path, kind, choice, Executor::CallingThreadOnly());
    };
    const SignalRecording listBeats = beatsOf(list, FileKind::Txt);
    ASSERT_EQ(listBeats.beats.size(), 401u);
    EXPECT_EQ(listBeats.beats[400].sample, 361175000);
    EXPECT_DOUBLE_EQ(listBeats.BeatSeconds(listBeats.beats[2]), 1.6175);
    EXPECT_THROW(beatsOf(dir / "none.rr", FileKind::Rr), FileIoError);

    const std::string data = test::SharedData();
    if (data.empty()) {
        GTEST_SKIP() << "no shared data";
    }
    // An RR file: its 10 ms ticks.
    const FileIntervals rr = opened(data + "/polar_rest_00-06min.rr", FileKind::Rr, *w);
    for (std::size_t k = 0; k < rr.ms.size(); ++k) {
        ASSERT_EQ(rr.ms[k], 10.0 * rr.ticks[k]) << k;
    }
    // A PPG file: its pulses on its wave's frames, where the window marks them, while the system
    // keeps the decoder's intervals, some of them timed from a candidate it dropped; the
    // correction judges those ticks, so a kept interval that disagrees with its ms takes them.
    const std::string ppg = data + "/bidmc01_110-470s.ppg";
    const FileIntervals pulses = opened(ppg, FileKind::Ppg, *w);
    const SignalRecording wave = beatsOf(ppg, FileKind::Ppg);
    const PpgWorkspace& decoded = w->workspace;
    EXPECT_EQ(choice.channelTaken, "PPG");
    ASSERT_EQ(wave.channels.size(), 1u);
    EXPECT_EQ(wave.channels[0].Size(), static_cast<std::size_t>(decoded.FrameCount));
    ASSERT_EQ(wave.beats.size(), static_cast<std::size_t>(decoded.PulseCount) + 1);
    for (std::size_t k = 1; k < wave.beats.size(); ++k) {
        ASSERT_EQ(wave.beats[k].sample, decoded.PulseFrames[k] - 1) << k;
        EXPECT_EQ(wave.beats[k].source, BeatSource::Device);
    }
    EXPECT_EQ(pulses.ms, BeatIntervalsMs(wave));
    BeatCorrection unchanged;
    unchanged.ticks = pulses.ticks;
    unchanged.marks.assign(pulses.ticks.size(), 0);
    const std::vector<double> kept = CorrectedIntervalsMs(pulses.ms, pulses.ticks, unchanged);
    std::size_t dropped = 0;
    for (std::size_t k = 0; k < pulses.ms.size(); ++k) {
        const bool agree = pulses.ms[k] == 10.0 * pulses.ticks[k];
        dropped += agree ? 0 : 1;
        EXPECT_EQ(kept[k], agree ? pulses.ms[k] : 10.0 * pulses.ticks[k]) << k;
    }
    EXPECT_GT(dropped, 0u);
}

} // namespace
} // namespace hrv
