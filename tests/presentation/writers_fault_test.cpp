// The writers under a busy lab and a failing disk: many programs adding to one table, a full and
// a read-only file system, names that could corrupt the table.
#include "files/cp1251.h"
#include "files/file_io.h"
#include "files/rr_file.h"
#include "files/settings_file.h"
#include "presentation/summary_table.h"
#include "tests/support/small_mount.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/fs.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

std::vector<std::string> Lines(const std::string& table) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = table.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(table.substr(start, end - start));
    }
    EXPECT_EQ(start, table.size()) << "a last line without its CR LF";
    return lines;
}

std::size_t Fields(const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t')) + 1;
}

TEST(TableWriters, ManyProcessesOnOneTableLoseAndTearNothing) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    auto f = test::NewFragment();
    test::SetIntervals(*f, test::TwoBandRhythm(420, 80));
    constexpr int kProcesses = 8;
    constexpr int kOwn = 40;    // rows only this process adds
    constexpr int kShared = 80; // rows every process tries to add
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(gate[1]);
            char go;
            (void)!::read(gate[0], &go, 1); // all start together, on a table not yet there
            std::vector<std::string> ids;
            for (int i = 0; i < kOwn; ++i) {
                ids.push_back("own" + std::to_string(p) + "_" + std::to_string(i));
            }
            for (int i = 0; i < kShared; ++i) {
                ids.push_back("shared" + std::to_string(i));
            }
            std::shuffle(ids.begin(), ids.end(), std::mt19937(static_cast<unsigned>(p)));
            int failures = 0;
            for (const std::string& id : ids) {
                try {
                    AppendSummaryRow(path, id, *f, ',');
                } catch (...) {
                    ++failures;
                }
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> lines = Lines(ReadBytes<std::string>(path));
    ASSERT_EQ(lines.size(), 1u + kProcesses * kOwn + kShared);
    EXPECT_EQ(lines[0], Utf8ToCp1251(SummaryTableHeader()));
    std::set<std::string> ids;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(Fields(lines[i]), 17u) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].find('\t')),
                  SummaryTableRow("", *f, ',').substr(SummaryTableRow("", *f, ',').find('\t')));
        ids.insert(lines[i].substr(0, lines[i].find('\t')));
    }
    EXPECT_EQ(ids.size(), lines.size() - 1); // each identity once
}

TEST(TableWriters, NamesNeverBreakTheTableNorCollide) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    auto f = test::NewFragment();
    const std::vector<std::string> names = {"a\tb 08.12.2026",
                                            "a\r\nb 08.12.2026",
                                            "a b 08.12.2026",
                                            "a\x7F"
                                            "b",
                                            "Hélène",
                                            "Hèlène",
                                            "H&#233;lène",
                                            "中",
                                            "日"};
    for (const std::string& name : names) {
        EXPECT_EQ(AppendSummaryRow(path, name, *f, '.'), SummaryAppend::Added) << name;
    }
    for (const std::string& name : names) {
        EXPECT_EQ(AppendSummaryRow(path, name, *f, '.'), SummaryAppend::AlreadySaved) << name;
    }
    const std::string table = ReadBytes<std::string>(path);
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(lines.size(), names.size() + 1);
    for (const std::string& line : lines) {
        EXPECT_EQ(Fields(line), 17u) << line;
    }
    EXPECT_EQ(lines[5].substr(0, lines[5].find('\t')), "H&#233;l&#232;ne");
    // Bytes that are not UTF-8 are refused; the table stays as it was.
    EXPECT_THROW(AppendSummaryRow(path, "a\xC0\xAF", *f, '.'), FileIoError);
    EXPECT_EQ(ReadBytes<std::string>(path), table);
}

TEST(TableWriters, AnAppendOnlyTableTakesRows) {
    ScratchDir dir;
    const std::string path = dir / "rvx.txt";
    auto f = test::NewFragment();
    ASSERT_EQ(AppendSummaryRow(path, "first", *f, '.'), SummaryAppend::Added);
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    const bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                     (flags |= FS_APPEND_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (!set) {
        ::close(fd);
        GTEST_SKIP() << "chattr +a is not permitted here";
    }
    EXPECT_EQ(AppendSummaryRow(path, "second", *f, '.'), SummaryAppend::Added);
    EXPECT_EQ(AppendSummaryRow(path, "first", *f, '.'), SummaryAppend::AlreadySaved);
    flags &= ~FS_APPEND_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_EQ(Lines(ReadBytes<std::string>(path)).size(), 3u);
}

TEST(TableWriters, AFullAndAReadOnlyDiskLeaveEveryFileAsItWas) {
    ScratchDir dir;
    const test::SmallMount disk(dir, 64 * 1024);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    }
    auto f = test::NewFragment();
    test::SetIntervals(*f, test::Repeat(80, 100));
    const std::string rr = disk / "a.rr";
    const std::string settings = disk / "rvxcfg.cfg";
    const std::string table = disk / "rvx.txt";
    WriteRrFile(rr, *f);
    WriteSettings(settings, DefaultSettings());
    ASSERT_EQ(AppendSummaryRow(table, "first", *f, '.'), SummaryAppend::Added);
    const auto before = [&] {
        return ReadBytes<std::string>(rr) + ReadBytes<std::string>(settings) +
               ReadBytes<std::string>(table);
    };
    const std::string was = before();

    test::SetIntervals(*f, test::Repeat(90, 20000)); // 40 kB: more than the disk has left
    SettingsRecord other = DefaultSettings();
    other.PortIndex = 2;
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "full");
        if (readOnly) {
            ASSERT_TRUE(disk.MakeReadOnly());
        } else {
            disk.Fill();
        }
        EXPECT_THROW(WriteRrFile(rr, *f), FileIoError);
        EXPECT_THROW(WriteRrFile(disk / "new.rr", *f), FileIoError);
        EXPECT_THROW(WriteSettings(settings, other), FileIoError);
        // A row longer than a page of the disk: it cannot go into the table's last page.
        EXPECT_THROW(AppendSummaryRow(table, std::string(5000, 's'), *f, '.'), FileIoError);
        EXPECT_THROW(AppendSummaryRow(disk / "other.txt", "first", *f, '.'), FileIoError);
        EXPECT_EQ(AppendSummaryRow(table, "first", *f, '.'), SummaryAppend::AlreadySaved);
        EXPECT_EQ(before(), was);
        EXPECT_FALSE(FileExists(disk / "new.rr"));
        EXPECT_FALSE(FileExists(disk / "other.txt"));
    }
}

} // namespace
} // namespace hrv
