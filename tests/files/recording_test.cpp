// Whole recordings read for the analysis by windows.
#include "files/recording.h"
#include "files/rr_text.h"
#include "tests/support/test_support.h"

#include <memory>

namespace hrv {
namespace {

// An RR file image of `count` words, ticks and aux varying along it.
std::string RrWordsImage(std::size_t count) {
    std::string bytes(2, '\0');
    for (std::size_t k = 0; k < count; ++k) {
        bytes += static_cast<char>(k % 7);        // aux
        bytes += static_cast<char>(40 + k % 101); // ticks
    }
    return bytes;
}

TEST(Recording, RrFilesAndListsAreReadWholePastTheFragmentsWords) {
    const test::ScratchDir dir;
    const std::size_t count = kWordCapacity + 12345;
    const std::string rr = (dir / "day.rr").string();
    test::WriteBytes(rr, RrWordsImage(count) + "x"); // an odd last byte is no interval
    std::string list = "RR, ms\n";
    for (std::size_t k = 0; k < count; ++k) {
        list += std::to_string((40 + k % 101) * 10) + (k % 3 == 0 ? ";" : "\n");
    }
    const std::string txt = (dir / "day.txt").string();
    test::WriteBytes(txt, list);

    auto w = std::make_unique<PpgWorkspace>();
    std::vector<std::uint16_t> words{1, 2, 3};
    ASSERT_EQ(ReadRecording(rr, FileKind::Rr, *w, words), LoadResult::Loaded);
    ASSERT_EQ(words.size(), count);
    for (std::size_t k = 0; k < count; ++k) {
        ASSERT_EQ(words[k], (40 + k % 101) * 256 + k % 7) << k;
    }
    ASSERT_EQ(ReadRecording(txt, FileKind::Txt, *w, words), LoadResult::Loaded);
    ASSERT_EQ(words.size(), count);
    std::int64_t ticks = 0;
    for (std::size_t k = 0; k < count; ++k) {
        ASSERT_EQ(words[k], (40 + k % 101) * 256) << k;
        ticks += static_cast<std::int64_t>(40 + k % 101);
    }
    EXPECT_EQ(RecordingTicks(words), ticks);
}

TEST(Recording, OneIntervalPastTheLimitIsRefusedNamingFileAndLimit) {
    const test::ScratchDir dir;
    const std::string full = (dir / "full.rr").string();
    const std::string over = (dir / "over.rr").string();
    test::WriteBytes(full, RrWordsImage(kRecordingCapacity));
    test::WriteBytes(over, RrWordsImage(kRecordingCapacity + 1));
    auto w = std::make_unique<PpgWorkspace>();
    std::vector<std::uint16_t> words;
    ASSERT_EQ(ReadRecording(full, FileKind::Rr, *w, words), LoadResult::Loaded);
    EXPECT_EQ(words.size(), kRecordingCapacity);
    try {
        ReadRecording(over, FileKind::Rr, *w, words);
        FAIL() << "a recording past the limit was read";
    } catch (const RecordingTooLong& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(over), std::string::npos) << message;
        EXPECT_NE(message.find("1000000"), std::string::npos) << message;
    }
}

} // namespace
} // namespace hrv
