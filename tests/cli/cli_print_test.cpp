// rvx-cli print: the report of a real recording as a PDF file, made without a display.
#include "tests/support/pdf_text.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <string>

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

} // namespace
} // namespace hrv
