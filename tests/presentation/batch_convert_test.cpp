// Batch conversion of PPG files to RR files.
#include "files/file_io.h"
#include "files/ppg_decoder.h"
#include "presentation/batch_convert.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace hrv {
namespace {

using test::PulseWaveImage;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

// The pulses the decoder finds in a PPG image, as the RR file image they should become.
std::string ExpectedRrImage(const std::string& ppg) {
    auto w = std::make_unique<PpgWorkspace>();
    const std::vector<std::uint8_t> bytes(ppg.begin(), ppg.end());
    EXPECT_TRUE(DecodePpgBytes(bytes, *w));
    std::string rr(2, '\0');
    for (int k = 1; k <= w->PulseCount; ++k) {
        rr += '\0';
        rr += static_cast<char>(w->PulseIntervals[k]);
    }
    return rr;
}

struct Recorder {
    std::vector<std::string> rejected;
    std::vector<int> done;
    BatchHooks Hooks() {
        BatchHooks hooks;
        hooks.importError = [this](const std::string& p) { rejected.push_back(p); };
        hooks.done = [this](int i) { done.push_back(i); };
        return hooks;
    }
};

class BatchConvertTest : public ::testing::Test {
protected:
    std::unique_ptr<FragmentData> f_ = std::make_unique<FragmentData>();
    std::unique_ptr<PpgWorkspace> w_ = std::make_unique<PpgWorkspace>();
    ScratchDir dir_;
    const std::string pulses_ = PulseWaveImage(4000, 80); // 40 s, a pulse every 0.8 s
    const std::string otherPulses_ = PulseWaveImage(3000, 60);
};

TEST_F(BatchConvertTest, ThreeFilesWithTheSecondRejected) {
    const std::string a = dir_ / "a.ppg", b = dir_ / "b.ppg", c = dir_ / "c.ppg";
    WriteBytes(a, pulses_);
    WriteBytes(b, "xy"); // too short: the decoder rejects it
    WriteBytes(c, otherPulses_);
    Recorder rec;
    EXPECT_EQ(BatchConvert({a, b, c}, *f_, *w_, rec.Hooks()), 3); // counts the rejected one too
    EXPECT_EQ(rec.rejected, std::vector<std::string>{b});
    EXPECT_EQ(rec.done, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "a.rr"), ExpectedRrImage(pulses_));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "b.rr"));
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "c.rr"), ExpectedRrImage(otherPulses_));
    // The fragment holds the intervals of the last file written.
    EXPECT_EQ(2 + 2 * static_cast<std::size_t>(f_->RrCount), ExpectedRrImage(otherPulses_).size());
}

TEST_F(BatchConvertTest, DotInTheFolderNameKeepsTheFolder) {
    std::filesystem::create_directory(dir_.path() / "exam.2026");
    const std::string in = dir_ / "exam.2026/rec.ppg";
    WriteBytes(in, pulses_);
    Recorder rec;
    BatchConvert({in}, *f_, *w_, rec.Hooks());
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "exam.2026/rec.rr"), ExpectedRrImage(pulses_));
    EXPECT_TRUE(rec.rejected.empty());
    EXPECT_EQ(rec.done, std::vector<int>{0});
}

TEST_F(BatchConvertTest, ExistingRrFileIsReplacedWithoutAQuestion) {
    const std::string in = dir_ / "rec.ppg";
    WriteBytes(in, pulses_);
    WriteBytes(dir_ / "rec.rr", std::string(5000, 'x'));
    Recorder rec;
    BatchConvert({in}, *f_, *w_, rec.Hooks());
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "rec.rr"), ExpectedRrImage(pulses_));
}

TEST_F(BatchConvertTest, FileWithoutPulsesGivesAnRrFileOfTwoBytes) {
    const std::string in = dir_ / "flat.ppg";
    WriteBytes(in, std::string(600, '\0')); // acceptable size, no frames
    Recorder rec;
    BatchConvert({in}, *f_, *w_, rec.Hooks());
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "flat.rr"), std::string(2, '\0'));
    EXPECT_TRUE(rec.rejected.empty());
}

TEST_F(BatchConvertTest, MoreThan2000PulsesAreConvertedWhole) {
    const std::string ppg = PulseWaveImage(100000, 40); // 1000 s, a pulse every 0.4 s
    const std::string expected = ExpectedRrImage(ppg);
    ASSERT_GT(expected.size(), 2u + 2u * kRrCapacity) << "the sample must exceed 2000 pulses";
    const std::string in = dir_ / "long.ppg";
    WriteBytes(in, ppg);
    Recorder rec;
    BatchConvert({in}, *f_, *w_, rec.Hooks());
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "long.rr"), expected);
}

TEST_F(BatchConvertTest, NameWithoutDotGetsRrAppended) {
    const std::string in = dir_ / "rec";
    WriteBytes(in, pulses_);
    Recorder rec;
    BatchConvert({in}, *f_, *w_, rec.Hooks());
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "rec.rr"), ExpectedRrImage(pulses_));
    EXPECT_EQ(ReadBytes<std::string>(in), pulses_);
}

TEST_F(BatchConvertTest, OutputEqualToInputIsSkippedAsImportError) {
    const std::string in = dir_ / "wave.rr"; // a pulse wave under an RR name
    WriteBytes(in, pulses_);
    Recorder rec;
    EXPECT_EQ(BatchConvert({in}, *f_, *w_, rec.Hooks()), 1);
    EXPECT_EQ(rec.rejected, std::vector<std::string>{in});
    EXPECT_EQ(ReadBytes<std::string>(in), pulses_);
}

TEST_F(BatchConvertTest, FileLayerFailureEndsTheBatch) {
    const std::string a = dir_ / "a.ppg", missing = dir_ / "missing.ppg", c = dir_ / "c.ppg";
    WriteBytes(a, pulses_);
    WriteBytes(c, otherPulses_);
    Recorder rec;
    EXPECT_THROW(BatchConvert({a, missing, c}, *f_, *w_, rec.Hooks()), FileIoError);
    EXPECT_EQ(ReadBytes<std::string>(dir_ / "a.rr"),
              ExpectedRrImage(pulses_));                  // written before it stays
    EXPECT_FALSE(std::filesystem::exists(dir_ / "c.rr")); // the rest is not converted
    EXPECT_EQ(rec.done, std::vector<int>{0});
    EXPECT_TRUE(rec.rejected.empty());
}

TEST_F(BatchConvertTest, ResultsAndFileNameAreNotTouched) {
    f_->CurrentFileName = "/data/x.rr";
    f_->CurrentFileDate = "08.12.2026";
    f_->TimeIndices.SDNN = 42;
    f_->SpectralIndices.Total = 1000;
    const std::string in = dir_ / "a.ppg";
    WriteBytes(in, pulses_);
    Recorder rec;
    BatchConvert({in}, *f_, *w_, rec.Hooks());
    EXPECT_EQ(f_->CurrentFileName, "/data/x.rr");
    EXPECT_EQ(f_->CurrentFileDate, "08.12.2026");
    EXPECT_EQ(f_->TimeIndices.SDNN, 42);
    EXPECT_EQ(f_->SpectralIndices.Total, 1000);
}

} // namespace
} // namespace hrv
