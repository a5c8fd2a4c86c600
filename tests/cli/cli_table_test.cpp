// rvx-cli analyze --table and the argument checks of rvx-cli print.
#include "analysis/pipeline.h"
#include "cli/commands.h"
#include "cli/print_args.h"
#include "cli/table_output.h"
#include "files/cp1251.h"
#include "files/fragment_load.h"
#include "presentation/regional.h"
#include "presentation/summary_table.h"
#include "service/row_identity.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>
#include <utime.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::SetLocalDate;
using test::WriteBytes;

// The command line runs in the "C" locale whatever the caller's environment says.
class CliTableTest : public ::testing::Test {
protected:
    // An RR file long enough for the analysis, dated 8 December 2026.
    std::string MakeRecording(const std::string& name) {
        const std::string path = dir_ / name;
        WriteBytes(path, test::RrImage(test::TwoBandRhythm(420, 80)));
        SetLocalDate(path, 2026, 12, 8);
        return path;
    }

    ScratchDir dir_;

private:
    test::ScopedEnv lcAll_{"LC_ALL", "C"};
};

// The environment names the locale off Windows only (Windows: the system's regional settings).
#ifndef _WIN32
TEST_F(CliTableTest, CLocaleHasPointAndMonthDayYear) {
    const RegionalFormat r = UserRegionalFormat();
    EXPECT_EQ(r.decimalSeparator, '.');
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 8;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    EXPECT_EQ(r.shortDate(std::mktime(&tm)), "12/08/26");
}
#endif

TEST_F(CliTableTest, IdentityIsBaseNameBlankAndDate) {
    const std::string path = MakeRecording("pat 12.rr");
    RegionalFormat r;
    r.decimalSeparator = ',';
    r.shortDate = [](std::int64_t) { return std::string("08.12.2026"); };
    EXPECT_EQ(FileIdentity(path, r), "pat 12 08.12.2026");
}

TEST_F(CliTableTest, AnalyzeAppendsOneRowPerFileAndRefusesDuplicates) {
    const std::string a = MakeRecording("pat12.rr");
    const std::string b = MakeRecording("at12.rr");
    const std::string table = dir_ / "table.txt";
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, a, b}, out, err), cli::kExitOk) << err.str();
    EXPECT_EQ(err.str(), "");

    // The same rows as the window's command writes for the analysed fragments.
#ifdef _WIN32
    const RegionalFormat user = UserRegionalFormat(); // the system's, not the environment's
    const std::string day = user.shortDate(test::LocalNoon(2026, 12, 8));
    const char sep = user.decimalSeparator;
#else
    const std::string day = "12/08/26";
    const char sep = '.';
#endif
    std::string expected = Utf8ToCp1251(SummaryTableHeader()) + "\r\n";
    for (const auto& [path, identity] : {std::pair{a, "pat12 " + day}, {b, "at12 " + day}}) {
        auto f = std::make_unique<FragmentData>();
        auto w = std::make_unique<PpgWorkspace>();
        ASSERT_EQ(LoadFragmentFile(path, FileKind::Rr, *f, *w), LoadResult::Loaded);
        ASSERT_TRUE(AnalyseFragment(*f));
        expected += Utf8ToCp1251(SummaryTableRow(identity, *f, sep)) + "\r\n";
    }
    EXPECT_EQ(ReadBytes<std::string>(table), expected);

    // Again: both refused, reported on stderr, not an error; the JSON lines still come.
    std::ostringstream out2, err2;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, a, b}, out2, err2), cli::kExitOk);
    EXPECT_EQ(ReadBytes<std::string>(table), expected);
    for (const std::string& identity : {"pat12 " + day, "at12 " + day}) {
        EXPECT_NE(err2.str().find("Запись «" + identity + "» уже сохранена в файле " + table),
                  std::string::npos)
            << err2.str();
    }
    EXPECT_EQ(out2.str(), out.str());
}

TEST_F(CliTableTest, CorrectedAndPlainAnalysesOfOneFileAreTwoRows) {
    const std::string a = MakeRecording("pat12.rr");
    const std::string table = dir_ / "table.txt";
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--correct", "auto", "--table", table, a}, out, err),
              cli::kExitOk);
    EXPECT_EQ(cli::Run({"analyze", "--table", table, a}, out, err), cli::kExitOk);
    EXPECT_EQ(err.str(), "") << "neither is refused as the other's duplicate";
    auto f = std::make_unique<FragmentData>();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(a, FileKind::Rr, *f, *w), LoadResult::Loaded);
    ASSERT_TRUE(AnalyseFragment(*f));
#ifdef _WIN32
    const RegionalFormat user = UserRegionalFormat(); // the system's, not the environment's
    const std::string identity = "pat12 " + user.shortDate(test::LocalNoon(2026, 12, 8));
    const char sep = user.decimalSeparator;
#else
    const std::string identity = "pat12 12/08/26";
    const char sep = '.';
#endif
    const std::string plainRow = SummaryTableRow(identity, *f, sep);
    f->Correct = CorrectionMode::Auto;
    ASSERT_TRUE(AnalyseFragment(*f));
    const std::string correctedRow = SummaryTableRow(identity + " (коррекция)", *f, sep);
    EXPECT_EQ(
        ReadBytes<std::string>(table),
        Utf8ToCp1251(SummaryTableHeader() + "\r\n" + correctedRow + "\r\n" + plainRow + "\r\n"));
}

TEST_F(CliTableTest, FileThatFailsAddsNoRow) {
    const std::string shortFile = dir_ / "short.rr";
    WriteBytes(shortFile, test::RrImage(test::TwoBandRhythm(100, 80))); // 80 s: too little
    const std::string table = dir_ / "table.txt";
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, shortFile}, out, err), cli::kExitFailed);
    EXPECT_FALSE(std::filesystem::exists(table));
}

TEST_F(CliTableTest, TableThatCannotBeWrittenIsAFailure) {
    const std::string a = MakeRecording("pat12.rr");
    const std::string table = dir_ / "table.txt";
    std::filesystem::create_directory(table);
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, a}, out, err), cli::kExitFailed);
    EXPECT_NE(err.str().find(table), std::string::npos) << err.str();
}

TEST_F(CliTableTest, AFileThatIsNoTableIsNeverAppendedTo) {
    const std::string a = MakeRecording("rec.rr");
    const std::string b = MakeRecording("other.rr");
    const std::string before = ReadBytes<std::string>(a);
    // Another recording named as the table, and the file being analysed itself.
    for (const cli::Args& args :
         {cli::Args{"analyze", "--table", a, b}, cli::Args{"analyze", "--table", a, a}}) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::Run(args, out, err), cli::kExitFailed);
        EXPECT_NE(err.str().find(a + " не является сводной таблицей"), std::string::npos)
            << err.str();
        EXPECT_EQ(ReadBytes<std::string>(a), before);
        EXPECT_NE(out.str().find("\"ok\": true"), std::string::npos) << "the analysis is printed";
    }
}

#ifndef _WIN32
TEST_F(CliTableTest, ATableAnotherProgramHoldsIsWaitedForAndSaidSo) {
    const std::string a = MakeRecording("pat12.rr");
    const std::string table = dir_ / "table.txt";
    WriteBytes(table, Utf8ToCp1251(SummaryTableHeader()) + "\r\n");
    const int held = ::open(table.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::thread release([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::close(held);
    });
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, a}, out, err), cli::kExitOk);
    release.join();
    EXPECT_EQ(err.str(),
              "rvx-cli analyze: Ожидание файла " + table + ": его занимает другая программа\n");
    EXPECT_NE(ReadBytes<std::string>(table).find("pat12 12/08/26\t"), std::string::npos);
}
#endif

TEST_F(CliTableTest, TableOptionNeedsAPath) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "x.rr", "--table"}, out, err), cli::kExitUsage);
    // An option where the path should be is not taken as one: no file "--spectrum" appears.
    const std::string a = MakeRecording("a.rr");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    std::ostringstream out2, err2;
    EXPECT_EQ(cli::Run({"analyze", "--table", "--spectrum", a}, out2, err2), cli::kExitUsage);
    EXPECT_EQ(cli::Run({"analyze", "--table", "--", a}, out2, err2), cli::kExitUsage);
    std::filesystem::current_path(cwd);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "--spectrum"));
    EXPECT_NE(err2.str().find("--table takes the path of the table"), std::string::npos)
        << err2.str();
}

struct PrintArgsCase {
    const char* name;
    cli::Args args;
    bool ok;
};

class PrintArgs : public ::testing::TestWithParam<PrintArgsCase> {};

TEST_P(PrintArgs, AreChecked) {
    std::ostringstream err;
    const auto parsed = cli::ParsePrint(GetParam().args, err);
    EXPECT_EQ(parsed.has_value(), GetParam().ok) << err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintArgs,
    ::testing::Values(
        PrintArgsCase{"PdfAndFile", {"--pdf", "o.pdf", "a.rr"}, true},
        PrintArgsCase{"FileFirst", {"a.rr", "--pdf", "o.pdf"}, true},
        PrintArgsCase{"WithType", {"--type", "ppg", "--pdf", "o.pdf", "a"}, true},
        PrintArgsCase{"NoPdf", {"a.rr"}, false},
        PrintArgsCase{"PdfWithoutPath", {"a.rr", "--pdf"}, false},
        PrintArgsCase{"NoFile", {"--pdf", "o.pdf"}, false},
        PrintArgsCase{"TwoFiles", {"--pdf", "o.pdf", "a.rr", "b.rr"}, false},
        PrintArgsCase{"BadType", {"--type", "x", "--pdf", "o.pdf", "a"}, false},
        PrintArgsCase{"UnknownOption", {"--pdf", "o.pdf", "-q", "a"}, false},
        PrintArgsCase{"Corrected", {"--correct", "auto", "--pdf", "o.pdf", "a"}, true},
        PrintArgsCase{"BadCorrect", {"--correct", "on", "--pdf", "o.pdf", "a"}, false}),
    [](const ::testing::TestParamInfo<PrintArgsCase>& param) { return param.param.name; });

TEST(PrintArgs, ParsedWords) {
    std::ostringstream err;
    const auto o = cli::ParsePrint({"--type", "ppg", "--pdf", "o.pdf", "a.x"}, err);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->pdf, "o.pdf");
    EXPECT_EQ(o->file, "a.x");
    EXPECT_EQ(o->kind, FileKind::Ppg);
    EXPECT_EQ(o->correct, CorrectionMode::None);
    const auto c = cli::ParsePrint({"--correct", "auto", "--pdf", "o.pdf", "a.rr"}, err);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->correct, CorrectionMode::Auto);
}

} // namespace
} // namespace hrv
