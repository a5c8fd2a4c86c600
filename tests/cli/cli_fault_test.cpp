// rvx-cli when its output cannot be written, on special files, hostile names and a read-only disk.
#include "cli/commands.h"
#include "files/cp1251.h"
#include "presentation/summary_table.h"
#include "tests/support/small_mount.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (!NextUtf8(text, i)) {
            return false;
        }
    }
    return true;
}

std::string Recording(const ScratchDir& dir, const std::string& name) {
    const std::string path = dir / name;
    WriteBytes(path, test::RrImage(test::TwoBandRhythm(420, 80)));
    return path;
}

TEST(CliFaults, OutputThatCannotBeWrittenIsAFailure) {
    ScratchDir dir;
    const std::string file = Recording(dir, "a.rr");
    const std::string errFile = dir / "err.txt";
    const int status = std::system(
        (std::string(HRV_RVX_CLI) + " analyze '" + file + "' > /dev/full 2> '" + errFile + "'")
            .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitFailed);
    EXPECT_NE(ReadBytes<std::string>(errFile).find("standard output cannot be written"),
              std::string::npos);
    // The same for every command: a stream that takes nothing.
    for (const cli::Args& args : {cli::Args{"analyze", file}, cli::Args{"--help"}}) {
        std::ostream broken(nullptr);
        std::ostringstream err;
        EXPECT_EQ(cli::Run(args, broken, err), cli::kExitFailed) << args[0];
        EXPECT_NE(err.str().find("standard output"), std::string::npos) << args[0];
    }
}

TEST(CliFaults, SpecialFilesAndForeignNamesGiveClearLines) {
    ScratchDir dir;
    const std::string fifo = dir / "wave.ppg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::ostringstream out, err;
    // A FIFO with no writer: refused at once instead of waiting for ever.
    EXPECT_EQ(cli::Run({"convert", fifo}, out, err), cli::kExitFailed);
    EXPECT_NE(out.str().find("FIFO"), std::string::npos) << out.str();
    const std::string latin1 = dir / "Ren\xE9.rr"; // a name in another encoding
    std::ostringstream out2, err2;
    EXPECT_EQ(cli::Run({"analyze", fifo, dir.string(), latin1}, out2, err2), cli::kExitFailed);
    const std::string lines = out2.str();
    EXPECT_TRUE(IsUtf8(lines)) << lines;
    EXPECT_NE(lines.find("является каналом FIFO"), std::string::npos) << lines;
    EXPECT_NE(lines.find("является каталогом"), std::string::npos) << lines;
    EXPECT_NE(lines.find("Ren\\uefe9.rr не найден"), std::string::npos) << lines;
}

TEST(CliFaults, AReadOnlyDiskFailsTheRunAndKeepsTheTable) {
    ScratchDir dir;
    const test::SmallMount disk(dir, 64 * 1024);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    }
    const std::string file = Recording(dir, "a.rr");
    const std::string table = disk / "table.txt";
    const std::string header = Utf8ToCp1251(SummaryTableHeader()) + "\r\n";
    WriteBytes(table, header);
    WriteBytes(disk / "b.ppg", test::PulseWaveImage(6000, 80));
    ASSERT_TRUE(disk.MakeReadOnly());
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"analyze", "--table", table, file}, out, err), cli::kExitFailed);
    EXPECT_NE(err.str().find(table), std::string::npos) << err.str();
    EXPECT_EQ(ReadBytes<std::string>(table), header);
    std::ostringstream out2, err2;
    EXPECT_EQ(cli::Run({"convert", disk / "b.ppg"}, out2, err2), cli::kExitFailed);
    EXPECT_FALSE(std::filesystem::exists(disk / "b.rr"));
}

// The command line as an ordinary user: "runuser -u nobody --" before it when the tests run as
// root (whom file modes do not bind).
std::string AsOrdinaryUser(const std::string& command) {
    return (::geteuid() == 0 ? std::string("runuser -u nobody -- ") : std::string()) + command;
}

TEST(CliFaults, AWriteProtectedRrFileIsNotReplacedByConvert) {
    if (::geteuid() == 0 && std::system("runuser -u nobody -- true") != 0) {
        GTEST_SKIP() << "runuser is not available";
    }
    ScratchDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0777)); // may make a temporary
    const std::string ppg = dir / "a.ppg";
    WriteBytes(ppg, test::PulseWaveImage(6000, 80));
    const std::string rr = dir / "a.rr";
    WriteBytes(rr, "old");
    ::chmod(rr.c_str(), 0444);
    const std::string outFile = dir / "out.txt";
    const int status =
        std::system((AsOrdinaryUser(std::string(HRV_RVX_CLI) + " convert '" + ppg + "'") + " > '" +
                     outFile + "' 2>&1")
                        .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), cli::kExitFailed);
    EXPECT_NE(ReadBytes<std::string>(outFile).find("не удалось записать файл " + rr + " ("),
              std::string::npos)
        << ReadBytes<std::string>(outFile);
    EXPECT_EQ(ReadBytes<std::string>(rr), "old");
    struct stat st {};
    ::stat(rr.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

} // namespace
} // namespace hrv
