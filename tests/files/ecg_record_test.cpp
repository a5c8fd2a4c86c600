// ECG records as the analysis takes them: the kind by extension, the channel, the intervals.
#include "files/ecg_record.h"
#include "files/fragment_load.h"
#include "files/signal_file_error.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <utility>

#ifdef HRV_HAVE_EDFLIB
#include <edflib.h>
#endif

namespace hrv {
namespace {

TEST(EcgRecord, KindFollowsExtensionAndADatFileOnlyWithItsHeader) {
    const test::ScratchDir dir;
    const std::string lone = (dir / "lone.dat").string();
    test::WriteBytes(lone, std::string(30, '\x11'));
    EXPECT_EQ(KindFromExtension(lone), FileKind::Rr);
    EXPECT_EQ(KindFromExtension(std::string(HRV_SHARED_ECG) + "/mitdb/100.dat"), FileKind::Wfdb);
    EXPECT_EQ(KindFromExtension("x/REC.HEA"), FileKind::Wfdb);
    EXPECT_EQ(KindFromExtension("a.edf"), FileKind::Edf);
    EXPECT_EQ(KindFromExtension("a.BDF"), FileKind::Edf);
}

SignalChannel Named(const char* name) {
    SignalChannel c;
    c.name = name;
    return c;
}

TEST(EcgRecord, ChannelByNameNumberOrTheEcgLead) {
    SignalRecording r;
    for (const char* name : {"ABP", "V5", "ECG ECG1", "mlii", "II"}) {
        r.channels.push_back(Named(name));
    }
    EXPECT_EQ(ChooseChannel(r, ""), 3); // MLII before II, V5 and ECG, in any case
    EXPECT_EQ(ChooseChannel(r, "abp"), 0);
    EXPECT_EQ(ChooseChannel(r, "4"), 4);
    EXPECT_EQ(ChooseChannel(r, "5"), -1);
    EXPECT_EQ(ChooseChannel(r, "V6"), -1);
    r.channels.erase(r.channels.begin() + 1, r.channels.end());
    r.channels.push_back(Named("Resp"));
    r.channels.push_back(Named("EKG-chest"));
    EXPECT_EQ(ChooseChannel(r, ""), 2);
    r.channels.pop_back();
    EXPECT_EQ(ChooseChannel(r, ""), 0);
    EXPECT_EQ(ChooseChannel(SignalRecording{}, ""), -1);
}

TEST(EcgRecord, WordsAreTheRoundedBeatTimesAndAPauseIsKeptAtTheLongestWord) {
    SignalRecording r;
    r.beatRate = 360;
    // 0.3 s, 0.55 s (0.8527 s rounds to 85 ticks: 55), then a 4 s pause.
    for (const std::int64_t s : {0, 108, 307, 307 + 1440}) {
        r.beats.push_back(Beat{s, BeatSource::Detected, BeatKind::Unknown, 0});
    }
    EXPECT_EQ(RecordWords(r), (std::vector<std::uint16_t>{30 * 256, 55 * 256, 255 * 256}));
}

#ifdef HRV_HAVE_EDFLIB

// An EDF+ file of annotations only, written by EDFlib: (onset in 100 us, text), no durations.
void WriteAnnotationsOnly(const std::string& path,
                          const std::vector<std::pair<long long, const char*>>& notes) {
    const int handle = edfopen_file_writeonly(path.c_str(), EDFLIB_FILETYPE_EDFPLUS, 0);
    ASSERT_GE(handle, 0);
    for (const auto& [onset, text] : notes) {
        ASSERT_EQ(edfwrite_annotation_utf8(handle, onset, -1, text), 0);
    }
    ASSERT_EQ(edfclose_file(handle), 0);
}

// Beat annotations in a file without a signal are the record's beats, in time order with their
// kinds, whatever the beats asked for; a channel asked for, or no beat annotation, is refused.
TEST(EcgRecord, AnEdfFileOfBeatAnnotationsOnlyIsARecordOfThoseBeats) {
    const test::ScratchDir dir;
    const std::string path = dir / "beats.edf";
    WriteAnnotationsOnly(path, {{13250, "N"}, {5000, "N"}, {21875, "V"}, {32500, "Arousal"}});
    for (const BeatChoice wanted : {BeatChoice::Detect, BeatChoice::Annotations}) {
        RecordChoice choice;
        choice.beats = wanted;
        const SignalRecording r = ReadEcgRecord(path, true, choice);
        EXPECT_TRUE(r.channels.empty() && choice.annotationsTaken && choice.channelTaken.empty());
        ASSERT_EQ(r.beats.size(), 3u);
        EXPECT_NEAR(r.BeatSeconds(r.beats[1]), 1.325, 1e-9);
        EXPECT_EQ(r.beats[2].kind, BeatKind::Ventricular);
        // Ticks 50, 133 (132.5 rounds up) and 219.
        EXPECT_EQ(RecordWords(r), (std::vector<std::uint16_t>{83 * 256, 86 * 256}));
    }
    RecordChoice named;
    named.channel = "ECG";
    EXPECT_THROW(ReadEcgRecord(path, true, named), SignalFileError);
    WriteAnnotationsOnly(path, {{40000, "Arousal"}});
    RecordChoice choice;
    EXPECT_THROW(ReadEcgRecord(path, true, choice), SignalFileError);
}

#endif

} // namespace
} // namespace hrv
