// An ECG record analysed as any file: its detected or annotated beats' intervals.
#include "files/recording.h"
#include "service/file_analysis.h"
#include "tests/support/test_support.h"

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

} // namespace
} // namespace hrv
