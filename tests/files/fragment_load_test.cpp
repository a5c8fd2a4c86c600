// Filling the fragment from files, and the conversion of PPG files to RR files.
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "files/rr_file.h"
#include "tests/support/test_support.h"

namespace hrv {
namespace {

using test::NewFragment;

// A PPG image with `pulses` + 1 upstrokes every `period` frames.
std::vector<std::uint8_t> PulseTrain(int pulses, int period) {
    std::vector<int> jumps;
    for (int i = 0; i <= pulses; ++i) {
        jumps.push_back(period + i * period);
    }
    return test::PpgImage(test::StepWave(jumps, period / 2, 100, jumps.back() + 40));
}

TEST(FragmentLoad, AnRrFileOfMoreThan2000RecordsIsKeptWholeButAnalysedUpTo2000) {
    const test::ScratchDir dir;
    const std::string path = (dir / "long.rr").string();
    auto src = NewFragment();
    src->RrCount = 2500;
    for (int k = 1; k <= 2500; ++k) {
        src->RrWords[k] = static_cast<std::uint16_t>((40 + k % 50) * 256 + k % 7);
    }
    WriteRrFile(path, *src);

    auto f = NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    f->AnalysisSeries[2001] = 99; // left over from an earlier fragment
    ASSERT_EQ(LoadFragmentFile(path, FileKind::Rr, *f, *w), LoadResult::Loaded);
    EXPECT_EQ(f->RrCount, 2500);
    for (int k = 1; k <= kRrCapacity; ++k) {
        ASSERT_EQ(f->RrTicks[k], src->RrWords[k] >> 8) << k;
        ASSERT_EQ(f->RrAux[k], src->RrWords[k] & 0xFF) << k;
        ASSERT_EQ(f->AnalysisSeries[k], f->RrTicks[k]) << k;
    }
    EXPECT_EQ(f->AnalysisSeries[2001], 0);
    // Saving writes the file back whole.
    const std::string copy = (dir / "copy.rr").string();
    WriteRrFile(copy, *f);
    EXPECT_EQ(test::ReadBytes(copy), test::ReadBytes(path));
}

TEST(FragmentLoad, APpgFileOfMoreThan2000PulsesIsConvertedWhole) {
    const test::ScratchDir dir;
    const std::string path = (dir / "many.ppg").string();
    test::WriteBytes(path, PulseTrain(2500, 40));

    auto f = NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(path, FileKind::Ppg, *f, *w), LoadResult::Loaded);
    ASSERT_EQ(f->RrCount, 2500);
    EXPECT_EQ(f->RrTicks[2000], 40);
    EXPECT_EQ(f->AnalysisSeries[2000], 40);
    EXPECT_EQ(f->AnalysisSeries[2001], 0);
    EXPECT_EQ(f->RrWords[2500], 40 * 256);

    ASSERT_EQ(ConvertPpgToRr(path, *f, *w), ConvertResult::Written);
    auto g = NewFragment();
    ReadRrFile((dir / "many.rr").string(), *g);
    EXPECT_EQ(g->RrCount, 2500);
}

TEST(FragmentLoad, TheChosenFileTypeDecidesNotTheExtension) {
    const test::ScratchDir dir;
    const std::string ppgAsRr = (dir / "wave.rr").string();
    test::WriteBytes(ppgAsRr, PulseTrain(10, 60));
    auto f = NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(ppgAsRr, FileKind::Ppg, *f, *w), LoadResult::Loaded);
    EXPECT_EQ(f->RrCount, 10);
    ASSERT_EQ(LoadFragmentFile(ppgAsRr, FileKind::Rr, *f, *w), LoadResult::Loaded);
    EXPECT_EQ(f->RrCount, static_cast<std::int32_t>((test::ReadBytes(ppgAsRr).size() - 2) / 2));
    EXPECT_EQ(KindFromExtension("a/b.PPG"), FileKind::Ppg);
    EXPECT_EQ(KindFromExtension("a.ppg/b"), FileKind::Rr);
}

TEST(FragmentLoad, ARejectedPpgClearsTheSeriesAndKeepsThePreviousFragment) {
    const test::ScratchDir dir;
    const std::string path = (dir / "tiny.ppg").string();
    test::WriteBytes(path, {231, 0, 5});
    auto f = NewFragment();
    test::SetIntervals(*f, {80, 90, 100});
    auto w = std::make_unique<PpgWorkspace>();
    EXPECT_EQ(LoadFragmentFile(path, FileKind::Ppg, *f, *w), LoadResult::ImportError);
    EXPECT_EQ(f->RrCount, 3);
    EXPECT_EQ(f->RrTicks[2], 90);
    EXPECT_EQ(f->RrWords[3], 100 * 256);
    EXPECT_EQ(f->AnalysisSeries[1], 0);
}

TEST(FragmentLoad, ConversionWritesBesideTheInputAndSkipsWhatItCannotName) {
    const test::ScratchDir scratch;
    const auto dir = scratch / "folder.with.dots";
    std::filesystem::create_directories(dir);
    auto f = NewFragment();
    auto w = std::make_unique<PpgWorkspace>();

    const std::string rec = (dir / "rec.ppg").string();
    test::WriteBytes(rec, PulseTrain(5, 80));
    test::WriteBytes((dir / "rec.rr").string(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}); // replaced
    ASSERT_EQ(ConvertPpgToRr(rec, *f, *w), ConvertResult::Written);
    const auto written = test::ReadBytes((dir / "rec.rr").string());
    ASSERT_EQ(written.size(), 2u + 2 * 5);
    EXPECT_EQ(written[3], 80);

    const std::string noDot = (dir / "nodot").string();
    test::WriteBytes(noDot, PulseTrain(3, 80));
    ASSERT_EQ(ConvertPpgToRr(noDot, *f, *w), ConvertResult::Written);
    EXPECT_TRUE(FileExists(noDot + ".rr"));

    const std::string same = (dir / "wave.rr").string();
    const auto original = PulseTrain(3, 80);
    test::WriteBytes(same, original);
    EXPECT_EQ(ConvertPpgToRr(same, *f, *w), ConvertResult::SamePath);
    EXPECT_EQ(test::ReadBytes(same), original);

    const std::string empty = (dir / "flat.ppg").string();
    test::WriteBytes(empty, std::vector<std::uint8_t>(600, 0));
    ASSERT_EQ(ConvertPpgToRr(empty, *f, *w), ConvertResult::Written);
    EXPECT_EQ(test::ReadBytes((dir / "flat.rr").string()), (std::vector<std::uint8_t>{0, 0}));

    EXPECT_THROW(ConvertPpgToRr((dir / "missing.ppg").string(), *f, *w), FileIoError);
}

TEST(FragmentLoad, OneWorkspaceOpensALargeThenASmallFileWithoutItsBytesAndWithoutAllocating) {
    const test::ScratchDir dir;
    const std::string large = (dir / "large.ppg").string();
    test::WriteBytes(large, PulseTrain(300, 60));
    const std::string small = (dir / "small.rr").string();
    test::WriteBytes(small, test::RrImage({70, 80, 90}));
    auto f = NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(large, FileKind::Ppg, *f, *w), LoadResult::Loaded);
    const std::uint8_t* buffer = w->FileImage.data();
    ASSERT_EQ(LoadFragmentFile(small, FileKind::Rr, *f, *w), LoadResult::Loaded);
    EXPECT_EQ(f->RrCount, 3); // nothing of the larger file's bytes is taken for intervals
    EXPECT_EQ(f->RrTicks[3], 90);
    ASSERT_EQ(LoadFragmentFile(large, FileKind::Ppg, *f, *w), LoadResult::Loaded);
    EXPECT_EQ(f->RrCount, 300);
    EXPECT_EQ(w->FileImage.data(), buffer);
}

} // namespace
} // namespace hrv
