// The summary table "rvx.txt": header, record, duplicates, appending in one piece.
#include "files/cp1251.h"
#include "files/file_io.h"
#include "presentation/format_fixed.h"
#include "presentation/summary_table.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <memory>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

const std::string kCrLf = "\r\n";

// Results with a known text form in every column.
std::unique_ptr<FragmentData> KnownResults() {
    auto f = std::make_unique<FragmentData>();
    auto& t = f->TimeIndices;
    t.SDNN = 45.678;
    t.RMSSD = 0;
    t.NN50 = 12;
    t.pNN50 = 3.5; // not in the table: its NN50 column holds the count
    t.HRVind = 7;
    t.TINN = 260;
    t.ModeClass = 78;
    t.AMo = 45;
    t.MinClass = 60;
    t.MaxClass = 95;
    t.HR = 77;
    auto& s = f->SpectralIndices;
    s.VLF = 1234.4;
    s.LF = 2345.5;
    s.HF = 1234567.0;
    s.Total = 999.49;
    s.LFnorm = 62.5;
    s.HFnorm = 37.456;
    s.LFHF = 1.25;
    return f;
}

// The record of KnownResults, field by field, with `sep` as the decimal separator.
std::string KnownRecord(const std::string& identity, char sep) {
    const std::string d(1, sep);
    return identity + "\t45" + d + "68\t0" + d + "00\t12" + d + "00\t7\t260\t780\t45\t350\t77\t" +
           "1234\t2346\t1" + d + "23457E6\t999\t62" + d + "50\t37" + d + "46\t1" + d + "25";
}

std::string Cp(const std::string& utf8) {
    return Utf8ToCp1251(utf8);
}

const std::string kHeaderUtf8 =
    "Файл\tSDNN, мс\tRMSSD, мс\tNN50, мс\tHRVind\tTINN, мс\tModa, мс\tAMo, %\tDX, мс\t"
    "HR, уд/мин\tVLF, мс2\tLF, мс2\tHF, мс2\tTotalPower, мс2\tLF norm, %\tHF norm, %\tLF/HF";

TEST(SummaryTable, HeaderIsTheFixedLine) {
    EXPECT_EQ(SummaryTableHeader(), kHeaderUtf8);
    // 17 columns.
    const std::string h = SummaryTableHeader();
    EXPECT_EQ(std::count(h.begin(), h.end(), '\t'), 16);
}

TEST(SummaryTable, PathIsRvxTxtInTheProgramFolder) {
    EXPECT_EQ(SummaryTablePath("/home/u/rvx"), "/home/u/rvx/rvx.txt");
}

TEST(SummaryTable, RecordFollowsTheColumnsWithTheGivenSeparator) {
    const auto f = KnownResults();
    for (const char sep : {'.', ','}) {
        SCOPED_TRACE(sep);
        EXPECT_EQ(SummaryTableRow("a b 08.12.2026", *f, sep), KnownRecord("a b 08.12.2026", sep));
    }
}

TEST(SummaryTable, NoFileCreatesHeaderAndOneRecord) {
    ScratchDir dir;
    const auto f = KnownResults();
    const std::string path = SummaryTablePath(dir.path().string());
    EXPECT_EQ(AppendSummaryRow(path, "pat12 08.12.2026", *f, ','), SummaryAppend::Added);
    EXPECT_EQ(ReadBytes<std::string>(path),
              Cp(kHeaderUtf8) + kCrLf + KnownRecord("pat12 08.12.2026", ',') + kCrLf);
}

// What an existing table holds before the command, and what it holds after it.
struct AppendCase {
    const char* name;
    std::string before;
    std::string identity;
    SummaryAppend result;
    std::string after;
};

class SummaryTableAppend : public ::testing::TestWithParam<AppendCase> {};

TEST_P(SummaryTableAppend, AppendsOrRefuses) {
    const AppendCase& c = GetParam();
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    WriteBytes(path, c.before);
    const auto f = KnownResults();
    EXPECT_EQ(AppendSummaryRow(path, c.identity, *f, '.'), c.result);
    EXPECT_EQ(ReadBytes<std::string>(path), c.after);
}

// One recording's rows in one step judge each row as one append does.
TEST_P(SummaryTableAppend, AsARowOfARecording) {
    const AppendCase& c = GetParam();
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    WriteBytes(path, c.before);
    const auto f = KnownResults();
    const SummaryRecord record{c.identity, SummaryTableRow(c.identity, *f, '.')};
    EXPECT_EQ(AppendSummaryRecords(path, std::span(&record, 1)),
              std::vector<SummaryAppend>{c.result});
    EXPECT_EQ(ReadBytes<std::string>(path), c.after);
}

const std::string kRecordPat = KnownRecord("pat12 08.12.2026", '.');
const std::string kRecordAt = KnownRecord("at12 08.12.2026", '.');
const std::string kHeader = Cp(kHeaderUtf8) + kCrLf;

INSTANTIATE_TEST_SUITE_P(
    Cases, SummaryTableAppend,
    ::testing::Values(
        // An empty file gets no header: the record becomes line 1.
        AppendCase{"EmptyFile", "", "pat12 08.12.2026", SummaryAppend::Added, kRecordPat + kCrLf},
        AppendCase{"HeaderOnly", Cp(kHeaderUtf8) + kCrLf, "pat12 08.12.2026", SummaryAppend::Added,
                   Cp(kHeaderUtf8) + kCrLf + kRecordPat + kCrLf},
        // The identity is compared with the whole first field, not found inside a longer one.
        AppendCase{"ShorterIdentityIsNotRefused", Cp(kHeaderUtf8) + kCrLf + kRecordPat + kCrLf,
                   "at12 08.12.2026", SummaryAppend::Added,
                   Cp(kHeaderUtf8) + kCrLf + kRecordPat + kCrLf + kRecordAt + kCrLf},
        AppendCase{"SameIdentityIsRefused", Cp(kHeaderUtf8) + kCrLf + kRecordPat + kCrLf,
                   "pat12 08.12.2026", SummaryAppend::AlreadySaved,
                   Cp(kHeaderUtf8) + kCrLf + kRecordPat + kCrLf},
        // Text equal to the identity in a later field does not count.
        AppendCase{"IdentityInALaterFieldIsNotADuplicate", kHeader + "x\tpat12 08.12.2026\r\n",
                   "pat12 08.12.2026", SummaryAppend::Added,
                   kHeader + "x\tpat12 08.12.2026\r\n" + kRecordPat + kCrLf},
        // Comparison is case-sensitive.
        AppendCase{"OtherCaseIsNotADuplicate", kHeader + "PAT12 08.12.2026\r\n", "pat12 08.12.2026",
                   SummaryAppend::Added, kHeader + "PAT12 08.12.2026\r\n" + kRecordPat + kCrLf},
        // A last line without its line end is finished before the record.
        AppendCase{"LastLineWithoutLineEnd", Cp(kHeaderUtf8) + kCrLf + kRecordAt,
                   "pat12 08.12.2026", SummaryAppend::Added,
                   Cp(kHeaderUtf8) + kCrLf + kRecordAt + kCrLf + kRecordPat + kCrLf},
        AppendCase{"LastLineEndsWithCarriageReturnOnly", kRecordAt + "\r", "pat12 08.12.2026",
                   SummaryAppend::Added, kRecordAt + kCrLf + kRecordPat + kCrLf},
        // Lines ended by LF alone (an edited table) are read all the same.
        AppendCase{"LinesEndedByLineFeed", Cp(kHeaderUtf8) + "\nat12 08.12.2026\tx\n",
                   "at12 08.12.2026", SummaryAppend::AlreadySaved,
                   Cp(kHeaderUtf8) + "\nat12 08.12.2026\tx\n"},
        // A line that is the identity alone (no tab) matches as well; so does a last line
        // without its line end.
        AppendCase{"WholeLineWithoutTab", kHeader + "at12 08.12.2026", "at12 08.12.2026",
                   SummaryAppend::AlreadySaved, kHeader + "at12 08.12.2026"},
        // The header line is tested like the others.
        AppendCase{"HeaderFirstFieldCounts", Cp(kHeaderUtf8) + kCrLf, "Файл",
                   SummaryAppend::AlreadySaved, Cp(kHeaderUtf8) + kCrLf},
        // The identity of a recording, in Windows-1251 in the file.
        AppendCase{"NewRecordingTwice", kHeader + Cp("Новая запись") + "\t1\r\n", "Новая запись",
                   SummaryAppend::AlreadySaved, kHeader + Cp("Новая запись") + "\t1\r\n"},
        // A table begun in an empty file starts with a record, not the header.
        AppendCase{"TableBegunEmpty", kRecordAt + kCrLf, "pat12 08.12.2026", SummaryAppend::Added,
                   kRecordAt + kCrLf + kRecordPat + kCrLf}),
    [](const ::testing::TestParamInfo<AppendCase>& param) { return param.param.name; });

TEST(SummaryTable, RowsOfARecordingGoInTogetherEachIdentityOnce) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    const auto f = KnownResults();
    const auto record = [&](const std::string& identity) {
        return SummaryRecord{identity, SummaryTableRow(identity, *f, '.')};
    };
    const std::vector<SummaryRecord> first = {record("at12 08.12.2026"), record("x [00:05:00]")};
    using enum SummaryAppend;
    EXPECT_EQ(AppendSummaryRecords(path, first), (std::vector{Added, Added}));
    const std::string created = kHeader + KnownRecord("at12 08.12.2026", '.') + kCrLf +
                                KnownRecord("x [00:05:00]", '.') + kCrLf;
    EXPECT_EQ(ReadBytes<std::string>(path), created);
    // Held already, new, the same twice in one recording, held already.
    const std::vector<SummaryRecord> second = {record("x [00:05:00]"), record("pat12 08.12.2026"),
                                               record("pat12 08.12.2026"),
                                               record("at12 08.12.2026")};
    EXPECT_EQ(AppendSummaryRecords(path, second),
              (std::vector{AlreadySaved, Added, AlreadySaved, AlreadySaved}));
    EXPECT_EQ(ReadBytes<std::string>(path), created + kRecordPat + kCrLf);
}

TEST(SummaryTable, FileThatIsNoTableIsRefusedUntouched) {
    ScratchDir dir;
    const auto f = KnownResults();
    // An RR file, a pulse wave, a text whose first line is neither the header nor a record, and
    // a header that lost its last column.
    const std::string header = Cp(kHeaderUtf8);
    for (const std::string& bytes :
         {test::RrImage(test::Repeat(80, 478)), std::string("\xE7\x00\x14\x00", 4),
          std::string("pat12 08.12.2026\r\n"), header.substr(0, header.rfind('\t')) + kCrLf}) {
        const std::string path = dir / "rvx.txt";
        WriteBytes(path, bytes);
        try {
            AppendSummaryRow(path, "pat12 08.12.2026", *f, '.');
            ADD_FAILURE() << "appended to " << bytes.substr(0, 20);
        } catch (const FileIoError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Файл " + path +
                          " не является сводной таблицей: он не начинается со строки заголовка. "
                          "Запись не добавлена, файл не изменён");
        }
        EXPECT_EQ(ReadBytes<std::string>(path), bytes);
    }
}

TEST(StandardTable, BesideTheSummaryTableOneRecordPerIdentityOfTheHeadersWidth) {
    ScratchDir dir;
    EXPECT_EQ(StandardTablePath("/data/rvx.txt"), "/data/rvx_std.txt");
    EXPECT_EQ(StandardTablePath("C:\\a.b\\table"), "C:\\a.b\\table_std");
    // Ten minutes of a steady rhythm with a slow swing: the Lomb-Scargle and AR spectra are
    // there; a 2-minute one has no SDANN, which is an empty field.
    std::vector<double> ms;
    for (int k = 0; k < 760; ++k) {
        ms.push_back(800 + 40 * std::sin(k * 0.7) + 25 * std::sin(k * 0.05));
    }
    const standard::Result whole = standard::AnalyseIntervals(ms, standard::Settings{});
    const standard::Result part =
        standard::AnalyseIntervals(std::span(ms).first(150), standard::Settings{});
    const std::string header = StandardTableHeader();
    const auto fields = [](const std::string& line) {
        std::vector<std::string> out(1);
        for (const char c : line) {
            if (c == '\t') {
                out.emplace_back();
            } else {
                out.back().push_back(c);
            }
        }
        return out;
    };
    const auto names = fields(header);
    const auto row = fields(StandardTableRow("pat12", whole, ','));
    ASSERT_EQ(row.size(), names.size());
    EXPECT_EQ(row[0], "pat12");
    EXPECT_EQ(row[std::find(names.begin(), names.end(), "SDNN, мс") - names.begin()],
              FormatFixed(whole.SDNN, 2, ','));
    const auto short_ = fields(StandardTableRow("pat13", part, '.'));
    ASSERT_EQ(short_.size(), names.size());
    EXPECT_EQ(short_[std::find(names.begin(), names.end(), "SDANN, мс") - names.begin()], "");
    EXPECT_EQ(std::count(short_.begin(), short_.end(), "—"), 0);
    // Appended as the summary table's rows are, each identity once.
    const std::string path = dir / "rvx_std.txt";
    const std::vector<SummaryRecord> records = {{"pat12", StandardTableRow("pat12", whole, ',')},
                                                {"pat13", StandardTableRow("pat13", part, ',')}};
    EXPECT_EQ(AppendStandardRecords(path, records),
              (std::vector{SummaryAppend::Added, SummaryAppend::Added}));
    EXPECT_EQ(AppendStandardRecords(path, std::span(records).first(1)),
              (std::vector{SummaryAppend::AlreadySaved}));
    EXPECT_EQ(ReadBytes<std::string>(path),
              Cp(header) + kCrLf + Cp(records[0].row) + kCrLf + Cp(records[1].row) + kCrLf);
    // A summary table is not a standard table, nor the other way round.
    const std::string summary = dir / "rvx.txt";
    AppendSummaryRow(summary, "pat12", *KnownResults(), '.');
    const std::string before = ReadBytes<std::string>(summary);
    EXPECT_THROW(AppendStandardRecords(summary, records), FileIoError);
    EXPECT_THROW(AppendSummaryRow(path, "pat14", *KnownResults(), '.'), FileIoError);
    EXPECT_EQ(ReadBytes<std::string>(summary), before);
}

TEST(SummaryTable, ControlCharactersOfTheIdentityAreEscaped) {
    // C0, DEL and C1 (U+0098 has a byte in no Windows-1251 table but is taken by some); a letter
    // the code page holds stays as it is.
    EXPECT_EQ(SummaryTableIdentity("a\tb\x7F\xC2\x98\xC2\x85Ё"), "a&#9;b&#127;&#152;&#133;Ё");
}

TEST(SummaryTable, TwoPressesForOneFragmentAddOneRecord) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    const auto f = KnownResults();
    EXPECT_EQ(AppendSummaryRow(path, "Новая запись", *f, ','), SummaryAppend::Added);
    const std::string once = ReadBytes<std::string>(path);
    EXPECT_EQ(AppendSummaryRow(path, "Новая запись", *f, ','), SummaryAppend::AlreadySaved);
    EXPECT_EQ(ReadBytes<std::string>(path), once);
    EXPECT_EQ(once, Cp(kHeaderUtf8) + kCrLf + Cp(KnownRecord("Новая запись", ',')) + kCrLf);
}

TEST(SummaryTable, ReadOnlyFileGivesTheFileLayersErrorAndStaysAsItWas) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    const std::string before = Cp(kHeaderUtf8) + kCrLf + kRecordAt + kCrLf;
    WriteBytes(path, before);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    if (::access(path.c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write read-only files (root)";
    }
    const auto f = KnownResults();
    EXPECT_THROW(AppendSummaryRow(path, "pat12 08.12.2026", *f, '.'), FileIoError);
    EXPECT_EQ(ReadBytes<std::string>(path), before);
}

TEST(SummaryTable, TableThatCannotBeCreatedGivesTheFileLayersError) {
    ScratchDir dir;
    // A folder where the table should be: it can be neither read as a table nor replaced.
    const std::string path = dir / "rvx.txt";
    std::filesystem::create_directory(path);
    const auto f = KnownResults();
    EXPECT_THROW(AppendSummaryRow(path, "pat12 08.12.2026", *f, '.'), FileIoError);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_TRUE(std::filesystem::is_empty(path));
}

// A full disk, made with the largest file a process may write (POSIX; Windows has no such limit).
#ifndef _WIN32
// Sets the largest file this process may write, and restores the old limit on the way out.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // the write then fails with EFBIG
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(SummaryTable, FailedAppendLeavesNoPartialRecord) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    const std::string before = Cp(kHeaderUtf8) + kCrLf + kRecordAt; // last line without CR LF
    WriteBytes(path, before);
    const auto f = KnownResults();
    {
        // Room for the line end and a few bytes of the record, not for all of it.
        const FileSizeLimit limit(before.size() + 10);
        EXPECT_THROW(AppendSummaryRow(path, "pat12 08.12.2026", *f, '.'), FileIoError);
    }
    EXPECT_EQ(ReadBytes<std::string>(path), before);
    // Afterwards the record goes in whole.
    EXPECT_EQ(AppendSummaryRow(path, "pat12 08.12.2026", *f, '.'), SummaryAppend::Added);
    EXPECT_EQ(ReadBytes<std::string>(path), before + kCrLf + kRecordPat + kCrLf);
}

TEST(SummaryTable, FailedCreationLeavesNoTable) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    const auto f = KnownResults();
    {
        const FileSizeLimit limit(20); // less than the header
        EXPECT_THROW(AppendSummaryRow(path, "pat12 08.12.2026", *f, '.'), FileIoError);
    }
    // No empty table is left behind, which would later be taken as one without its header.
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              0);
}
#endif

} // namespace
} // namespace hrv
