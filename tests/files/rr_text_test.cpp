// RR lists: text files of intervals in milliseconds as other programs export them.
#include "files/fragment_load.h"
#include "files/rr_text.h"
#include "tests/support/test_support.h"

namespace hrv {
namespace {

using Ticks = std::vector<std::uint8_t>;

Ticks Read(std::string_view text) {
    const RrTextResult r = ParseRrText(text);
    EXPECT_EQ(r.error, "") << "line " << r.errorLine;
    return r.ticks;
}

TEST(RrText, ExportedLists) {
    // One per line, to the nearest tick, ties to even.
    EXPECT_EQ(Read("812\n796\n805\n815\n805.001\n6\n2554"), (Ticks{81, 80, 80, 82, 81, 1, 255}));
    // A header, blank lines and Windows line ends.
    EXPECT_EQ(Read("\xEF\xBB\xBFRR-интервалы, мс\r\nRR (ms)\r\n\r\n812\r\n  790 \r\n"),
              (Ticks{81, 79}));
    // A decimal comma: 805 and 1 would be rejected.
    EXPECT_EQ(Read("805,1\n804,9\n"), (Ticks{81, 80}));
    EXPECT_EQ(Read("812;790\t805 815;\n"), (Ticks{81, 79, 80, 82}));
}

TEST(RrText, TheCommaRule) {
    // Semicolons, tabs or blanks beside commas: the commas are decimal.
    EXPECT_EQ(Read("805,1;804,9\n805,1 804,9\t812,0\n"), (Ticks{81, 80, 81, 80, 81}));
    // A line of two or more commas alone, or a point anywhere: every comma separates.
    EXPECT_EQ(Read("812,790,805\n799,801\n"), (Ticks{81, 79, 80, 80, 80}));
    EXPECT_EQ(Read("805.5,790\n"), (Ticks{81, 79}));
    EXPECT_EQ(Read("812, 790\n"), (Ticks{81, 79})); // not between digits
}

TEST(RrText, WhatAnRrWordCannotHoldRejectsTheListNamingTheLine) {
    for (const char* text : {"812\n790\n3000\n", "812\n790\n4\n", "812\n790\n0\n", "812\n790\n-790",
                             "812\n790\n81x2\n", "812\n790\n79..0"}) {
        EXPECT_EQ(ParseRrText(text).errorLine, 3) << text;
    }
    EXPECT_FALSE(ParseRrText("RR\n\n").error.empty()); // no interval at all

    const test::ScratchDir dir;
    const std::string good = dir / "good.txt";
    const std::string bad = dir / "bad.csv";
    test::WriteBytes(good, "RR\r\n812\r\n790\r\n");
    test::WriteBytes(bad, "812\n790\n805\n3000\n");
    EXPECT_EQ(KindFromExtension(bad), FileKind::Txt);
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(good, FileKind::Txt, *f, *w), LoadResult::Loaded);
    EXPECT_EQ(f->RrWords[2], 79 * 256);
    EXPECT_EQ(f->AnalysisSeries[1], 81);
    const auto before = std::make_unique<FragmentData>(*f);
    try {
        LoadFragmentFile(bad, FileKind::Txt, *f, *w);
        ADD_FAILURE() << "a list with 3000 ms was taken";
    } catch (const RrTextError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Файл " + bad + ", строка 4: интервал 3000 мс вне пределов от 10 до 2550 мс");
    }
    EXPECT_EQ(f->RrCount, 2);
    EXPECT_EQ(f->RrWords, before->RrWords);
    EXPECT_EQ(f->AnalysisSeries, before->AnalysisSeries);
}

} // namespace
} // namespace hrv
