// Whole recordings read for the analysis by windows.
#include "files/recording.h"
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

TEST(Recording, FilesAndListsAreReadWholeUpToTheLimit) {
    const test::ScratchDir dir;
    const std::size_t count = kWordCapacity + 12345; // past the words of one fragment
    std::string list = "RR, ms\n";
    for (std::size_t k = 0; k < count; ++k) {
        list += std::to_string((40 + k % 101) * 10) + (k % 3 == 0 ? ";" : "\n");
    }
    const std::string txt = (dir / "day.txt").string();
    test::WriteBytes(txt, list);
    const std::string rr = (dir / "day.rr").string();
    test::WriteBytes(rr, RrWordsImage(count) + "x"); // an odd last byte is no interval
    auto w = std::make_unique<PpgWorkspace>();
    std::vector<std::uint16_t> words{1, 2, 3};
    for (const FileKind kind : {FileKind::Txt, FileKind::Rr}) {
        ASSERT_EQ(ReadRecording(kind == FileKind::Rr ? rr : txt, kind, *w, words),
                  LoadResult::Loaded);
        ASSERT_EQ(words.size(), count);
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_EQ(words[k], (40 + k % 101) * 256 + (kind == FileKind::Rr ? k % 7 : 0)) << k;
        }
    }
    const std::string over = (dir / "over.rr").string();
    test::WriteBytes(over, RrWordsImage(kRecordingCapacity + 1));
    try {
        ReadRecording(over, FileKind::Rr, *w, words);
        FAIL() << "a recording past the limit was read";
    } catch (const RecordingTooLong& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(over), std::string::npos) << message;
        EXPECT_NE(message.find("1000000"), std::string::npos) << message;
    }
    test::WriteBytes(over, RrWordsImage(kRecordingCapacity));
    ASSERT_EQ(ReadRecording(over, FileKind::Rr, *w, words), LoadResult::Loaded);
    EXPECT_EQ(words.size(), kRecordingCapacity);
}

} // namespace
} // namespace hrv
