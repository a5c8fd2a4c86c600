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

} // namespace
} // namespace hrv
