// ECG records as the analysis takes them: the kind by extension, the channel, the intervals.
#include "files/ecg_record.h"
#include "files/fragment_load.h"
#include "tests/support/test_support.h"

#include <filesystem>

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

} // namespace
} // namespace hrv
