// rvx-cli analyze on RR lists, and its text form for a person at a terminal.
#include "analysis/pipeline.h"
#include "cli/commands.h"
#include "files/fragment_load.h"
#include "files/rr_file.h"
#include "presentation/clock_text.h"
#include "presentation/format_fixed.h"
#include "presentation/panel_texts.h"
#include "presentation/regional.h"
#include "tests/support/test_support.h"

#include <sstream>

namespace hrv {
namespace {

std::vector<std::string> RunLines(const cli::Args& args, int expectedStatus) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run(args, out, err), expectedStatus) << err.str();
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The JSON line from "ok" on: the results without the file's name and type.
std::string Results(const std::string& line) {
    return line.substr(line.find("\"ok\""));
}

TEST(CliRrList, AListAndTheRrFileSavedFromItGiveTheSameResults) {
    const test::ScratchDir dir;
    const std::string list = dir / "polar export.txt";
    std::string text = "Phone RR export\r\nRR interval (ms)\r\n";
    const auto rhythm = test::TwoBandRhythm(420, 80);
    for (std::size_t i = 0; i < rhythm.size(); ++i) {
        // Off the tick by up to 4 ms and as a decimal now and then: the nearest tick is the same.
        text += std::to_string(rhythm[i] * 10 + static_cast<int>(i % 9) - 4) +
                (i % 5 == 0 ? ".4" : "") + "\r\n";
    }
    test::WriteBytes(list, text);
    const auto fromList = RunLines({"analyze", list}, cli::kExitOk);
    ASSERT_EQ(fromList.size(), 1u);
    EXPECT_NE(fromList[0].find("\"type\": \"txt\""), std::string::npos) << fromList[0];

    // Save after the open writes an ordinary RR file of the same intervals.
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(list, FileKind::Txt, *f, *w), LoadResult::Loaded);
    const std::string rr = dir / "saved.rr";
    WriteRrFile(rr, *f);
    EXPECT_EQ(test::ReadBytes<std::string>(rr), test::RrImage(rhythm));
    const auto fromRr = RunLines({"analyze", rr}, cli::kExitOk);
    ASSERT_EQ(fromRr.size(), 1u);
    EXPECT_EQ(Results(fromList[0]), Results(fromRr[0]));

    // A list named otherwise is read as one when the type says so.
    const std::string named = dir / "list.dat";
    test::WriteBytes(named, text);
    EXPECT_EQ(Results(RunLines({"analyze", "--type", "txt", named}, cli::kExitOk).at(0)),
              Results(fromRr[0]));
}

TEST(CliTextFormat, PrintsThePanelsWithTheLocaleSeparator) {
    const test::ScratchDir dir;
    const std::string good = dir / "pat12.rr";
    const std::string missing = dir / "missing.rr";
    test::WriteBytes(good, test::RrImage(test::TwoBandRhythm(420, 80)));
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(good, FileKind::Rr, *f, *w), LoadResult::Loaded);
    ASSERT_TRUE(AnalyseFragment(*f));

    const test::ScopedEnv russian("LC_ALL", "ru_RU.UTF-8");
#ifdef _WIN32
    // Windows takes the separator from the system's regional settings, not the environment.
    const char sep = UserRegionalFormat().decimalSeparator;
#else
    const char sep = ',';
#endif
    const auto lines = RunLines({"analyze", "--format", "text", good, missing}, cli::kExitFailed);
    // The name, eleven lines of the time-domain panel (one empty), an empty line, eight of the
    // spectral panel (one empty), an empty line; then the missing file's name and message.
    ASSERT_EQ(lines.size(), 1u + 11 + 1 + 8 + 1 + 3);
    EXPECT_EQ(lines[0], good);
    EXPECT_EQ(lines[1], " SDNN     " + FormatFixed(f->TimeIndices.SDNN, 2, sep) + " мс");
    EXPECT_EQ(lines[6], " HR       " + std::to_string(f->TimeIndices.HR) + " уд/мин");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[12], "");
    EXPECT_EQ(lines[13], " VLF      " + FormatFixed(f->SpectralIndices.VLF, 0, sep) + " мс2");
    EXPECT_EQ(lines[20], " LF/HF    " + FormatFixed(f->SpectralIndices.LFHF, 2, sep));
    EXPECT_EQ(lines[22], missing);
    EXPECT_EQ(lines[23], "Файл " + missing + " не найден");
    RunLines({"analyze", "--format", "csv", good}, cli::kExitUsage);
}

TEST(CliTextFormat, StandardBlockFollowsThePanelsWithItsSettingsAndUnits) {
    const test::ScratchDir dir;
    const std::string good = dir / "pat12.rr";
    test::WriteBytes(good, test::RrImage(test::TwoBandRhythm(420, 80)));
    const test::ScopedEnv locale("LC_ALL", "C");
    const auto plain = RunLines({"analyze", "--format", "text", good}, cli::kExitOk);
    const auto lines = RunLines({"analyze", "--format", "text", "--method", "standard",
                                 "--nn-threshold", "20", "--detrend", "priors:300", good},
                                cli::kExitOk);
    // The system's block as it was, then the standard one.
    ASSERT_GT(lines.size(), plain.size() + 2);
    ASSERT_EQ(std::vector(lines.begin(), lines.begin() + static_cast<long>(plain.size())), plain);
    const std::size_t at = plain.size();
    const auto rhythm = test::TwoBandRhythm(420, 80);
    double sum = 0;
    for (const int t : rhythm) {
        sum += t * 10.0;
    }
    EXPECT_EQ(lines[at], "Стандартный анализ (" +
                             DurationText(static_cast<std::int64_t>(sum / 10)) +
                             ", интервалов: " + std::to_string(rhythm.size()) + ")");
    EXPECT_NE(lines[at + 1].find("приоры, lambda 300"), std::string::npos) << lines[at + 1];
    EXPECT_NE(lines[at + 1].find("NNxx > 20 мс"), std::string::npos) << lines[at + 1];
    // The MeanRR of the intervals in ms, one decimal; NN20 named for its threshold.
    EXPECT_EQ(lines[at + 2],
              " Mean RR  " + FormatFixed(sum / static_cast<double>(rhythm.size()), 1, '.') + " мс");
    EXPECT_TRUE(lines[at + 6].starts_with(" NN20 ")) << lines[at + 6];
    // Seven minutes: no SDANN, shown as undefined without a unit.
    EXPECT_EQ(lines[at + 14], " SDANN    —");
    EXPECT_EQ(lines.back(), "");

    // A series too short for any spectrum's order: its columns undefined, the rest given.
    const std::string brief = dir / "brief.rr";
    test::WriteBytes(brief, test::RrImage(test::Repeat(80, 20)));
    const auto few = RunLines(
        {"analyze", "--format", "text", "--method", "standard", "--ar-order", "100", brief},
        cli::kExitFailed);
    const auto lf = std::find_if(few.begin(), few.end(),
                                 [](const std::string& l) { return l.starts_with(" LF norm"); });
    ASSERT_NE(lf, few.end());
    EXPECT_NE(lf->find("—"), std::string::npos) << *lf;
}

TEST(CliTextFormat, CorrectedAnalysisEndsTheFirstPanelWithTheCorrectionLine) {
    const test::ScratchDir dir;
    const std::string good = dir / "pat12.rr";
    std::vector<int> ticks = test::TwoBandRhythm(420, 80);
    ticks[100] += ticks[101]; // a missed beat
    ticks.erase(ticks.begin() + 101);
    test::WriteBytes(good, test::RrImage(ticks));
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(good, FileKind::Rr, *f, *w), LoadResult::Loaded);
    f->Correct = CorrectionMode::Auto;
    ASSERT_TRUE(AnalyseFragment(*f));
    ASSERT_GE(CorrectionsInFragment(*f), 1);

    const test::ScopedEnv russian("LC_ALL", "ru_RU.UTF-8");
    const auto plain = RunLines({"analyze", "--format", "text", good}, cli::kExitOk);
    const auto lines =
        RunLines({"analyze", "--format", "text", "--correct", "auto", good}, cli::kExitOk);
    ASSERT_EQ(plain.size(), 1u + 11 + 1 + 8 + 1);
    ASSERT_EQ(lines.size(), plain.size() + 1);
#ifdef _WIN32
    const char sep = UserRegionalFormat().decimalSeparator; // the system's settings
#else
    const char sep = ',';
#endif
    EXPECT_EQ(lines[12], " " + CorrectionText(*f, sep));
    EXPECT_EQ(lines[12].rfind(" Коррекция: ", 0), 0u);
    EXPECT_EQ(lines[13], "");
}

} // namespace
} // namespace hrv
