// The RR file: reading, writing and the counting rules.
#include "files/file_io.h"
#include "files/rr_file.h"
#include "tests/support/test_support.h"

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

} // namespace
} // namespace hrv
