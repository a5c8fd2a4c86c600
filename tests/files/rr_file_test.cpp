// The RR file: reading, writing and the counting rules.
#include "files/file_io.h"
#include "files/recording.h"
#include "files/rr_file.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_support.h"

#include <filesystem>

namespace hrv {
namespace {

using test::NewFragment;

std::vector<std::uint8_t> Bytes(std::size_t size, std::uint8_t fill = 0x11) {
    return std::vector<std::uint8_t>(size, fill);
}

TEST(RrFile, CountIsHalfTheBytesAfterTheHeaderUpToFortyThousand) {
    struct Case {
        std::size_t size;
        std::int32_t count;
    };
    for (const Case c : {Case{0, 0}, Case{1, 0}, Case{2, 0}, Case{3, 0}, Case{5, 1},
                         Case{4002, 2000}, Case{80002, 40000}, Case{80010, 40000}}) {
        auto f = NewFragment();
        f->RrCount = 77;
        ParseRrBytes(Bytes(c.size), *f);
        EXPECT_EQ(f->RrCount, c.count) << c.size;
    }
}

TEST(RrFile, WordsAreLittleEndianIntervalThenAuxAndTheHeaderIsIgnored) {
    auto f = NewFragment();
    ParseRrBytes(std::vector<std::uint8_t>{0xAB, 0xCD, 0x00, 0x50, 0x07, 0xFF, 0x99}, *f);
    ASSERT_EQ(f->RrCount, 2);
    EXPECT_EQ(f->RrWords[1], 80 * 256); // 00 50: 80 ticks, aux 0
    EXPECT_EQ(f->RrWords[2], 255 * 256 + 7);
}

TEST(RrFile, ReadingReplacesOnlyTheWordsRead) {
    auto f = NewFragment();
    for (int k = 1; k <= 10; ++k) {
        f->RrWords[k] = static_cast<std::uint16_t>(1000 + k);
    }
    ParseRrBytes(std::vector<std::uint8_t>{0, 0, 1, 2, 3, 4}, *f);
    EXPECT_EQ(f->RrCount, 2);
    EXPECT_EQ(f->RrWords[3], 1003);
    EXPECT_EQ(f->RrWords[10], 1010);
}

TEST(RrFile, WriteThenReadGivesTheSameWords) {
    const test::ScratchDir dir;
    const std::string path = (dir / "a b.rr").string();
    for (const int count : {0, 1, 2000, 40000}) {
        auto f = NewFragment();
        f->RrCount = count;
        for (int k = 1; k <= count; ++k) {
            f->RrWords[k] = static_cast<std::uint16_t>(k * 7919);
        }
        WriteRrFile(path, *f);
        EXPECT_EQ(test::ReadBytes(path).size(), 2 + 2 * static_cast<std::size_t>(count));
        auto g = NewFragment();
        ReadRrFile(path, *g);
        ASSERT_EQ(g->RrCount, count);
        EXPECT_TRUE(
            std::equal(f->RrWords.begin(), f->RrWords.begin() + count + 1, g->RrWords.begin()));
    }
    // An empty fragment is two zero bytes.
    auto empty = NewFragment();
    WriteRrFile(path, *empty);
    EXPECT_EQ(test::ReadBytes(path), (std::vector<std::uint8_t>{0, 0}));
}

TEST(RrFile, AFailedReadOrWriteRaisesTheFileErrorAndLeavesThingsAsTheyWere) {
    const test::ScratchDir dir;
    auto f = NewFragment();
    f->RrCount = 5;
    EXPECT_THROW(ReadRrFile((dir / "missing.rr").string(), *f), FileIoError);
    EXPECT_EQ(f->RrCount, 5);
    EXPECT_THROW(ReadRrFile(dir.path().string(), *f), FileIoError); // a folder, not a file
    EXPECT_THROW(WriteRrFile((dir / "no such folder" / "x.rr").string(), *f), FileIoError);

    // A write that fails leaves the previous file whole and no temporary file behind.
    const std::string path = (dir / "keep.rr").string();
    test::WriteBytes(path, {0, 0, 0, 80});
    try {
        WriteRrFile(path + "/impossible", *f);
    } catch (const FileIoError& e) {
        EXPECT_NE(std::string(e.what()).find("impossible"), std::string::npos);
    }
    EXPECT_EQ(test::ReadBytes(path), (std::vector<std::uint8_t>{0, 0, 0, 80}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

// The words of an RR file of the given ticks.
std::vector<std::uint8_t> RrOf(const std::vector<int>& ticks) {
    std::vector<std::uint8_t> bytes = {0, 0};
    for (const int t : ticks) {
        bytes.push_back(0);
        bytes.push_back(static_cast<std::uint8_t>(t));
    }
    return bytes;
}

TEST(RrFile, FilesThatArePlainlyNoRrFileAreRefusedByName) {
    const test::ScratchDir dir;
    auto f = NewFragment();
    const auto refusal = [&](const std::string& path) {
        f->RrCount = 5;
        try {
            ReadRrFile(path, *f);
        } catch (const NotAnRrFile& e) {
            EXPECT_EQ(f->RrCount, 5) << "the fragment changed";
            return std::string(e.what());
        }
        return std::string();
    };
    // Steady intervals, yet the signal file of the WFDB header beside it.
    const std::string dat = dir / "rec.dat";
    test::WriteBytes(dat, RrOf(test::Repeat(80, 100)));
    EXPECT_EQ(refusal(dat), "");
    test::WriteBytes(dir / "rec.hea", "# note\nrec 1 360\nrec.dat 212 200 11 1024 0 0 0 MLII\n");
    EXPECT_EQ(refusal(dat), "Файл " + dat + " — сигнальный файл записи WFDB " +
                                (dir / "rec.hea").string() + ", а не файл RR-интервалов");
    EXPECT_NE(refusal(dir / "rec.hea").find("заголовок записи WFDB"), std::string::npos);
    // A header beside it that names other files says nothing.
    test::WriteBytes(dir / "rec.hea", "rec 1 360\nother.dat 212\n");
    EXPECT_EQ(refusal(dat), "");
    // An EDF file: version "0", 256 header bytes per signal and 256 more.
    std::string edf = "0       " + std::string(176, ' ') + "512     " + std::string(44, ' ') +
                      "1       1       1   ";
    edf += std::string(256, ' ') + std::string(200, '\x50');
    test::WriteBytes(dir / "a.rr", edf);
    EXPECT_NE(refusal(dir / "a.rr").find("запись EDF/BDF"), std::string::npos);
    // Intervals that jump as no heart does; a tenth of jumps (ectopic beats) is an RR file.
    std::vector<int> jumpy;
    std::vector<int> ectopic;
    for (int k = 0; k < 60; ++k) {
        jumpy.push_back(k % 2 == 0 ? 40 : 120);
        ectopic.push_back(k % 10 == 5 ? 50 : 80);
    }
    test::WriteBytes(dir / "b.rr", RrOf(jumpy));
    EXPECT_EQ(refusal(dir / "b.rr"), "Файл " + (dir / "b.rr").string() +
                                         " не похож на файл RR-интервалов: 100 % интервалов "
                                         "отличаются от предыдущего больше чем на 40 %");
    test::WriteBytes(dir / "c.rr", RrOf(ectopic));
    EXPECT_EQ(refusal(dir / "c.rr"), "");
    // Too few intervals to judge; the longest intervals and zeros are RR files too.
    test::WriteBytes(dir / "d.rr", RrOf({40, 120, 40, 120}));
    EXPECT_EQ(refusal(dir / "d.rr"), "");
    test::WriteBytes(dir / "e.rr", RrOf(test::Repeat(255, 100)));
    EXPECT_EQ(refusal(dir / "e.rr"), "");
    // The whole recording's reader refuses the same files.
    PpgWorkspace w;
    std::vector<std::uint16_t> words;
    EXPECT_THROW(ReadRecording(dir / "b.rr", FileKind::Rr, w, words), NotAnRrFile);
    EXPECT_TRUE(words.empty());
}

TEST(RrFile, EcgRecordsBesideTheProjectAreNoRrFiles) {
    const std::string dir = std::string(HRV_SHARED_ECG);
    if (!std::filesystem::exists(dir + "/README.md")) {
        GTEST_SKIP() << "no ../shared/ecg";
    }
    PpgWorkspace w;
    std::vector<std::uint16_t> words;
    for (const char* name : {"/mitdb/100.dat", "/mitdb/208.hea", "/edf/chtypes_edf.edf",
                             "/edf/test_bdf_stim_channel.bdf", "/ppg/v102s.dat"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(ReadRecording(dir + name, FileKind::Rr, w, words), NotAnRrFile);
    }
}

} // namespace
} // namespace hrv
