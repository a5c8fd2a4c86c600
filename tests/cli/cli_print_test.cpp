// rvx-cli print: the report of a real recording as a PDF file, made without a display.
#include "service/recording_windows.h"
#include "tests/support/pdf_text.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace hrv {
namespace {

using test::FindText;

// Runs rvx-cli with the words given (already quoted), with no display and no platform chosen;
// returns its exit status.
int RunCli(const std::string& words) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" HRV_RVX_CLI
                                "' " +
                                words + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

TEST(CliPrint, RecordingToPdfWithoutADisplay) {
    const std::string recording = std::string(HRV_SHARED_DATA) + "/nsrdb_long_00-06min.rr";
    if (!std::filesystem::exists(recording)) {
        GTEST_SKIP() << "no reference recordings at " << HRV_SHARED_DATA;
    }
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    test::ScratchDir dir;
    const std::string pdf = dir / "report.pdf";
    ASSERT_EQ(RunCli("print --pdf " + Quoted(pdf) + " " + Quoted(recording)), 0);
    const auto lines = test::PdfLines(pdf);
    const auto ident = FindText(lines, "nsrdb_long_00-06min ");
    ASSERT_GE(ident.line, 0);
    const auto sdnn = FindText(lines, "SDNN ", ident.line + 1);
    EXPECT_GT(sdnn.line, ident.line);
    EXPECT_GT(FindText(lines, "TINN ", sdnn.line + 1).line, sdnn.line);
    for (const char* title :
         {"Ритмограмма", "Гистограмма", "Скатерограмма", "Спектр", "Компоненты спектра"}) {
        EXPECT_GT(FindText(lines, title).line, sdnn.line) << title;
    }
}

TEST(CliPrint, CorrectedPageCarriesTheCorrectionLineAndNamesTheColour) {
    const std::string recording = std::string(HRV_SHARED_DATA) + "/bidmc01_110-470s.ppg";
    if (!std::filesystem::exists(recording)) {
        GTEST_SKIP() << "no reference recordings at " << HRV_SHARED_DATA;
    }
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    test::ScratchDir dir;
    const std::string plainPdf = dir / "plain.pdf";
    const std::string pdf = dir / "corrected.pdf";
    ASSERT_EQ(RunCli("print --pdf " + Quoted(plainPdf) + " " + Quoted(recording)), 0);
    ASSERT_EQ(RunCli("print --correct auto --pdf " + Quoted(pdf) + " " + Quoted(recording)), 0);
    EXPECT_LT(FindText(test::PdfLines(plainPdf), "Коррекция").line, 0);
    EXPECT_LT(FindText(test::PdfLines(plainPdf), "красным").line, 0);
    const auto lines = test::PdfLines(pdf);
    const auto ident = FindText(lines, "bidmc01_110-470s ");
    ASSERT_GE(ident.line, 0);
    const auto correction = FindText(lines, "Коррекция: ", ident.line + 1);
    const auto sdnn = FindText(lines, "SDNN ", ident.line + 1);
    EXPECT_GT(correction.line, ident.line);
    EXPECT_GT(sdnn.line, correction.line);
    EXPECT_GT(FindText(lines, "красным", sdnn.line + 1).line, sdnn.line);
}

TEST(CliPrint, MethodStandardAddsItsBlockUnderTheCharts) {
    const std::string recording = std::string(HRV_SHARED_DATA) + "/nsrdb_long_00-06min.rr";
    if (!std::filesystem::exists(recording)) {
        GTEST_SKIP() << "no reference recordings at " << HRV_SHARED_DATA;
    }
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    test::ScratchDir dir;
    const std::string plainPdf = dir / "plain.pdf";
    const std::string pdf = dir / "standard.pdf";
    ASSERT_EQ(RunCli("print --pdf " + Quoted(plainPdf) + " " + Quoted(recording)), 0);
    ASSERT_EQ(RunCli("print --method standard --nn-threshold 20 --pdf " + Quoted(pdf) + " " +
                     Quoted(recording)),
              0);
    EXPECT_LT(FindText(test::PdfLines(plainPdf), "Стандартный анализ").line, 0);
    const auto lines = test::PdfLines(pdf);
    const auto heading = FindText(lines, "Стандартный анализ");
    EXPECT_GT(heading.line, FindText(lines, "Компоненты спектра").line);
    EXPECT_GT(FindText(lines, "NNxx > 20", heading.line).line, heading.line);
    const auto meanRr = FindText(lines, "Mean RR ", heading.line);
    EXPECT_GT(meanRr.line, heading.line);
    EXPECT_GT(FindText(lines, "SDNN i ", meanRr.line).line, meanRr.line);
    const auto welch = FindText(lines, "Уэлч", meanRr.line + 1);
    EXPECT_GT(welch.line, meanRr.line);
    EXPECT_GT(FindText(lines, "АР", welch.line + 1).line, welch.line);
    // Not on the trend report, and its settings checked.
    EXPECT_EQ(RunCli("print --method standard --windows 300 --pdf " + Quoted(pdf) + " " +
                     Quoted(recording)),
              2);
    EXPECT_EQ(RunCli("print --method standard --ar-order 0 --pdf " + Quoted(pdf) + " " +
                     Quoted(recording)),
              2);
}

TEST(CliPrint, TooLittleDataWritesNoPdf) {
    test::ScratchDir dir;
    const std::string shortFile = dir / "short.rr";
    test::WriteBytes(shortFile, test::RrImage(test::TwoBandRhythm(100, 80)));
    const std::string pdf = dir / "report.pdf";
    EXPECT_EQ(RunCli("print --pdf " + Quoted(pdf) + " " + Quoted(shortFile)), 1);
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST(CliPrint, MissingFileAndUsageErrors) {
    test::ScratchDir dir;
    const std::string pdf = dir / "report.pdf";
    EXPECT_EQ(RunCli("print --pdf " + Quoted(pdf) + " " + Quoted(dir / "none.rr")), 1);
    EXPECT_EQ(RunCli("print " + Quoted(dir / "none.rr")), 2);
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST(CliPrint, TrendReportOfALongRecording) {
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    test::ScratchDir dir;
    // 40 minutes: more than the 2000 intervals one fragment holds.
    const std::vector<int> ticks = test::TwoBandRhythm(3000, 80);
    const std::string recording = dir / "long40.rr";
    test::WriteBytes(recording, test::RrImage(ticks));
    std::vector<std::uint16_t> words;
    for (const int t : ticks) {
        words.push_back(static_cast<std::uint16_t>(t * 256));
    }
    const std::size_t windows = RecordingWindows(words, 300).size();
    ASSERT_GT(windows, 1u);

    const std::string six = dir / "six.pdf";
    ASSERT_EQ(RunCli("print --windows 300 --pdf " + Quoted(six) + " " + Quoted(recording)), 0);
    EXPECT_EQ(test::PdfPageCount(six), 1);
    const auto lines = test::PdfLines(six);
    const auto ident = FindText(lines, "long40 ");
    ASSERT_GE(ident.line, 0);
    EXPECT_GT(FindText(lines, "Шаг: 300 с, окон: " + std::to_string(windows), ident.line).line,
              ident.line);
    int previous = ident.line;
    for (const char* title : {"HR", "SDNN", "RMSSD", "LF", "HF", "LF/HF"}) {
        const auto at = FindText(lines, title, previous + 1);
        EXPECT_GT(at.line, previous) << title;
        previous = std::max(previous, at.line);
    }
    EXPECT_LT(FindText(lines, "DFA").line, 0);
    EXPECT_GE(FindText(lines, "Время, ч:мин").line, 0) << "40 minutes are told in clock time";

    // With DFA α1 the spectral indices go to a second page.
    const std::string seven = dir / "seven.pdf";
    ASSERT_EQ(
        RunCli("print --windows 300 --nonlinear --pdf " + Quoted(seven) + " " + Quoted(recording)),
        0);
    EXPECT_EQ(test::PdfPageCount(seven), 2);
    const auto both = test::PdfLines(seven);
    const auto first = FindText(both, "Лист 1 из 2");
    const auto alpha = FindText(both, "DFA α1", first.line + 1);
    const auto second = FindText(both, "Лист 2 из 2", alpha.line + 1);
    ASSERT_GE(first.line, 0);
    EXPECT_GT(alpha.line, first.line);
    EXPECT_GT(second.line, alpha.line);
    EXPECT_GT(FindText(both, "LF/HF", second.line + 1).line, second.line);

    // --nonlinear belongs to the trend report; a recording without a whole window writes nothing.
    const std::string none = dir / "none.pdf";
    EXPECT_EQ(RunCli("print --nonlinear --pdf " + Quoted(none) + " " + Quoted(recording)), 2);
    const std::string shortFile = dir / "short.rr";
    test::WriteBytes(shortFile, test::RrImage(test::TwoBandRhythm(300, 80)));
    EXPECT_EQ(RunCli("print --windows 60 --pdf " + Quoted(none) + " " + Quoted(shortFile)), 1);
    EXPECT_FALSE(std::filesystem::exists(none));
}

} // namespace
} // namespace hrv
