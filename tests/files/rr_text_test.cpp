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
    // The intervals as written, beside the ticks.
    EXPECT_EQ(ParseRrText("805,1\n804,9\n0812\n").ms, (std::vector<double>{805.1, 804.9, 812}));
    EXPECT_EQ(ParseRrText("805.5,790\n").ms, (std::vector<double>{805.5, 790}));
}

TEST(RrText, ATableOfIndexAndIntervalIsTakenWhereTheListWouldBeRejected) {
    // ",rr" over "0,992.0": the index column would be intervals of 0, 1, 2 ms.
    const RrTextResult table = ParseRrText(",rr\n0,992.0\n1,1016.0\n2,985.3333333333333\n");
    EXPECT_EQ(table.error, "");
    EXPECT_EQ(table.ticks, (Ticks{99, 102, 99}));
    EXPECT_EQ(table.ms, (std::vector<double>{992, 1016, 985.3333333333333}));
    EXPECT_EQ(Read("index,rr_ms\r\n1,812\r\n2,790\r\n"), (Ticks{81, 79}));
    // A list read today stays as it is: here four intervals.
    EXPECT_EQ(Read("index,rr\n100,800\n101,810\n"), (Ticks{10, 80, 10, 81}));
    // Not that shape, or an interval it cannot take: the list's own refusal.
    for (const char* text : {",rr\n0,992\n2,990\n", "a,b,rr\n0,1,992\n", "rr,7\n0,992\n",
                             ",rr\n0,992;5\n", ",rr\n0,3000\n", ",rr\n0,992\n1,99.\n"}) {
        const std::string_view t(text);
        const RrTextResult plain = ParseRrText(t.substr(t.find('\n') + 1));
        EXPECT_NE(ParseRrText(t).error, "") << text;
        EXPECT_EQ(ParseRrText(t).errorLine, plain.errorLine + 1) << text;
    }
}

TEST(RrText, TheCommaRule) {
    // Semicolons, tabs or blanks beside commas: the commas are decimal.
    EXPECT_EQ(Read("805,1;804,9\n805,1 804,9\t812,0\n"), (Ticks{81, 80, 81, 80, 81}));
    // A line of two or more commas alone, or a point anywhere: every comma separates.
    EXPECT_EQ(Read("812,790,805\n799,801\n"), (Ticks{81, 79, 80, 80, 80}));
    EXPECT_EQ(Read("805.5,790\n"), (Ticks{81, 79}));
    EXPECT_EQ(Read("812, 790\n"), (Ticks{81, 79})); // not between digits
}

TEST(RrText, TwoIntervalsOfThreeOrFourDigitsOnALineAreTwoIntervals) {
    // 800 intervals written two per line: not 400 intervals of 700.9 ms.
    std::string pairs;
    for (int i = 0; i < 400; ++i) {
        pairs += "700,900\r\n";
    }
    const Ticks ticks = Read(pairs);
    ASSERT_EQ(ticks.size(), 800u);
    EXPECT_EQ(ticks[0], 70);
    EXPECT_EQ(ticks[799], 90);
    EXPECT_EQ(Read("RR\n812\n1000,995\n"), (Ticks{81, 100, 100}));
    // A decimal fraction of one or two digits stays decimal.
    EXPECT_EQ(Read("805,1\n1000,25\n"), (Ticks{81, 100}));
    // Beside such lines, a comma that could be either is refused, naming its line.
    const RrTextResult mixed = ParseRrText("700,900\n805,5\n");
    EXPECT_EQ(mixed.errorLine, 2);
    EXPECT_NE(mixed.error.find("«805,5»"), std::string::npos) << mixed.error;
    EXPECT_EQ(ParseRrText("805,5\n700,900\n").errorLine, 1);
}

TEST(RrText, AMessageQuotesControlCharactersAndIsNeverCut) {
    const RrTextResult r = ParseRrText(std::string_view("812\n8\0"
                                                        "12x\n",
                                                        9));
    EXPECT_EQ(r.errorLine, 2);
    EXPECT_EQ(r.error, "«8\\x0012x» не является числом");
    const RrTextResult longLine = ParseRrText("812\n" + std::string(100, '7') + "x\n");
    EXPECT_EQ(longLine.error, "«" + std::string(60, '7') + "…» не является числом");
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
