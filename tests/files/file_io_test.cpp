// The file layer against what a path may really be: links, FIFOs, devices, folders, hard links,
// private files and the longest names.
#include "files/file_io.h"
#include "files/temporary_name.h"
#include "tests/support/test_support.h"

#include <csignal>
#include <cstring>
#include <functional>
#include <grp.h>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

namespace hrv {
namespace {

using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

std::vector<std::uint8_t> Image(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

// The message of the FileIoError `write` throws, or "<none>".
template <class F> std::string ErrorOf(F&& write) {
    try {
        write();
    } catch (const FileIoError& e) {
        return e.what();
    }
    return "<none>";
}

std::size_t EntriesIn(const ScratchDir& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path()),
                                                  std::filesystem::directory_iterator()));
}

TEST(FileIo, AtomicWriteGoesThroughLinksAndKeepsTheMode) {
    ScratchDir dir;
    const std::string real = dir / "real.rr";
    WriteBytes(real, "old");
    ::chmod(real.c_str(), 0600); // a patient's file made private
    std::filesystem::create_symlink("real.rr", dir / "link.rr");
    WriteFileAtomic(dir / "link.rr", Image("new"));
    EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link.rr")));
    EXPECT_EQ(ReadBytes<std::string>(real), "new");
    EXPECT_EQ(ModeOf(real) & 07777, 0600u);

    // A link to a file not yet there creates that file; a new file follows the umask.
    std::filesystem::create_symlink("made.rr", dir / "dangling.rr");
    const mode_t oldMask = ::umask(027);
    WriteFileAtomic(dir / "dangling.rr", Image("x"));
    WriteFileAtomic(dir / "plain.rr", Image("y"));
    ::umask(oldMask);
    EXPECT_EQ(ReadBytes<std::string>(dir / "made.rr"), "x");
    EXPECT_EQ(ModeOf(dir / "made.rr") & 07777, 0640u);
    EXPECT_EQ(ModeOf(dir / "plain.rr") & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir), 5u); // no temporary file left behind
}

TEST(FileIo, AtomicWriteRefusesWhatIsNotOneRegularFile) {
    ScratchDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::filesystem::create_symlink("fifo", dir / "to_fifo");
    const std::string folder = dir / "folder";
    std::filesystem::create_directory(folder);
    EXPECT_NE(ErrorOf([&] { WriteFileAtomic(fifo, Image("x")); }).find(fifo + " (является каналом"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { WriteFileAtomic(dir / "to_fifo", Image("x")); }).find("FIFO"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { WriteFileAtomic(folder, Image("x")); }).find("является каталогом"),
              std::string::npos);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    EXPECT_TRUE(S_ISLNK(ModeOf(dir / "to_fifo")));
    EXPECT_TRUE(S_ISDIR(ModeOf(folder)));

    const std::string device = dir / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_NE(ErrorOf([&] { WriteFileAtomic(device, Image("x")); }).find("устройством"),
                  std::string::npos);
        EXPECT_TRUE(S_ISCHR(ModeOf(device)));
    }

    // Two names of one file: neither is split from the other nor changed.
    const std::string a = dir / "a.rr";
    WriteBytes(a, "old");
    std::filesystem::create_hard_link(a, dir / "b.rr");
    EXPECT_NE(ErrorOf([&] { WriteFileAtomic(a, Image("new")); }).find("жёсткие ссылки"),
              std::string::npos);
    EXPECT_EQ(ReadBytes<std::string>(a), "old");
    EXPECT_EQ(std::filesystem::hard_link_count(a), 2u);
}

TEST(FileIo, TheLongestNameIsWrittenAndALongerOneSaysSo) {
    ScratchDir dir;
    const std::string longest = dir / (std::string(252, 'n') + ".rr");
    WriteFileAtomic(longest, Image("x"));
    EXPECT_EQ(ReadBytes<std::string>(longest), "x");
    AppendFileBytes(longest, Image("y"));
    EXPECT_EQ(ReadBytes<std::string>(longest), "xy");
    const std::string tooLong = dir / (std::string(256, 'n') + ".rr");
    EXPECT_NE(
        ErrorOf([&] { WriteFileAtomic(tooLong, Image("x")); }).find("(слишком длинное имя файла)"),
        std::string::npos);
}

TEST(FileIo, ReadersRefuseSpecialFilesBeforeOpeningThem) {
    ScratchDir dir;
    const std::string fifo = dir / "fifo.ppg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string folder = dir / "folder.rr";
    std::filesystem::create_directory(folder);
    const std::string missing = dir / "none.rr";
    const std::string tooLong = dir / (std::string(300, 'n') + ".rr");
    struct Case {
        std::string path;
        std::string says;
    };
    for (const Case& c : {Case{fifo, fifo + " (является каналом FIFO"},
                          Case{folder, folder + " (является каталогом)"},
                          Case{"/dev/null", "/dev/null (является устройством"},
                          Case{tooLong, "(слишком длинное имя файла)"}}) {
        SCOPED_TRACE(c.path);
        EXPECT_FALSE(FileExists(c.path));
        // A FIFO with no writer would block an open for reading for ever.
        EXPECT_NE(ErrorOf([&] { ReadFileBytes(c.path, 100); }).find(c.says), std::string::npos);
        EXPECT_NE(MissingFileMessage(c.path).find(c.says), std::string::npos);
    }
    EXPECT_EQ(MissingFileMessage(missing), "Файл " + missing + " не найден");
}

// Runs `body` in a child process as an ordinary user: the user "nobody" when the tests run as
// root (whom file modes do not bind), the user itself otherwise. Returns what the body returns.
std::string AsOrdinaryUser(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return "<no pipe>";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        const std::string text = body();
        const ssize_t w = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(w == static_cast<ssize_t>(text.size()) ? 0 : 3);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return text;
}

TEST(FileIo, AFileTheUserMayNotWriteIsRefusedAndOneInAFolderHeMayNotWriteIsWrittenInPlace) {
    ScratchDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    // A write-protected file in a folder the user may write.
    const std::string writable = dir / "open";
    std::filesystem::create_directory(writable);
    std::filesystem::permissions(writable, std::filesystem::perms(0777));
    const std::string locked = writable + "/a.rr";
    WriteBytes(locked, "old");
    ::chmod(locked.c_str(), 0444);
    // A writable file in a folder the user may not write.
    const std::string closed = dir / "closed";
    std::filesystem::create_directory(closed);
    const std::string inPlace = closed + "/b.rr";
    WriteBytes(inPlace, "older contents");
    ::chmod(inPlace.c_str(), 0666);
    struct stat before {};
    ::stat(inPlace.c_str(), &before);
    ::chmod(closed.c_str(), 0555);
    // Another user's writable file in a folder with the sticky bit (as /tmp).
    const std::string sticky = dir / "sticky";
    std::filesystem::create_directory(sticky);
    ::chmod(sticky.c_str(), 01777);
    const std::string others = sticky + "/d.rr";
    WriteBytes(others, "old");
    ::chmod(others.c_str(), 0666);

    const std::string said = AsOrdinaryUser([&] {
        std::string out = ErrorOf([&] { WriteFileAtomic(locked, Image("new")); }) + "\n";
        out += ErrorOf([&] { WriteFileAtomic(inPlace, Image("new")); }) + "\n";
        out += ErrorOf([&] { WriteFileAtomic(closed + "/c.rr", Image("new")); }) + "\n";
        out += ErrorOf([&] { WriteFileAtomic(others, Image("new")); });
        return out;
    });
    ::chmod(closed.c_str(), 0755);
    std::istringstream lines(said);
    std::string lockedError, inPlaceError, newError, stickyError;
    std::getline(lines, lockedError);
    std::getline(lines, inPlaceError);
    std::getline(lines, newError);
    std::getline(lines, stickyError);
    EXPECT_EQ(stickyError, "<none>");
    EXPECT_EQ(ReadBytes<std::string>(others), "new");
    EXPECT_EQ(lockedError, "Ошибка ввода-вывода: не удалось записать файл " + locked + " (" +
                               std::strerror(EACCES) + ")");
    EXPECT_EQ(ReadBytes<std::string>(locked), "old");
    EXPECT_EQ(ModeOf(locked) & 07777, 0444u);
    EXPECT_EQ(inPlaceError, "<none>");
    EXPECT_EQ(ReadBytes<std::string>(inPlace), "new");
    struct stat after {};
    ::stat(inPlace.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << "written in place";
    EXPECT_NE(newError.find("не удалось создать файл " + closed + "/c.rr"), std::string::npos)
        << newError;
    EXPECT_EQ(EntriesIn(dir), 3u);
}

// A group's file that another user saves stays its owner's; a temporary is removed only when its
// writer has gone, also where the writer's pid means nothing here (another pid namespace).
TEST(FileIo, AnotherUsersFileStaysHisAndALiveWritersTemporaryStays) {
    ScratchDir dir;
    if (::geteuid() == 0) {
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0777));
        const std::string shared = dir / "a.rr";
        WriteBytes(shared, "the owner's");
        ASSERT_EQ(::chown(shared.c_str(), 4242, 65534), 0); // the writer's group may write it
        ASSERT_EQ(::chmod(shared.c_str(), 0660), 0);
        EXPECT_EQ(
            AsOrdinaryUser([&] { return ErrorOf([&] { WriteFileAtomic(shared, Image("x")); }); }),
            "<none>");
        struct stat st {};
        ::stat(shared.c_str(), &st);
        EXPECT_EQ(ReadBytes<std::string>(shared), "x");
        EXPECT_TRUE(st.st_uid == 4242 && st.st_gid == 65534 && (st.st_mode & 07777) == 0660);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0); // a pid that runs nothing now
    const std::string live = dir / (TemporaryPrefix() + std::to_string(child) + "-abcdef");
    const std::string left = dir / (TemporaryPrefix() + std::to_string(child) + "-ghijkl");
    WriteBytes(live, "being written");
    WriteBytes(left, "left by a killed writer");
    const int writer = ::open(live.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0); // as every writer holds its temporary
    WriteFileAtomic(dir / "b.rr", Image("x"));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_FALSE(std::filesystem::exists(left));
    ::close(writer); // gone without putting it in place
    WriteFileAtomic(dir / "b.rr", Image("y"));
    EXPECT_FALSE(std::filesystem::exists(live));
}

// Writers killed at any moment, again and again, while they replace a file or create a table.
TEST(FileIo, AKilledWriterLeavesNothingBehind) {
    ScratchDir dir;
    const std::string target = dir / "a.rr";
    const std::vector<std::uint8_t> image(4 << 20, 0x50);
    std::mt19937 random(7);
    for (int kill = 0; kill < 40; ++kill) {
        const bool table = kill % 2 == 1;
        const pid_t child = ::fork();
        if (child == 0) {
            for (int i = 0;; ++i) {
                if (table) {
                    std::filesystem::remove(dir / ("t" + std::to_string(i % 4)));
                    CreateFileExclusive(dir / ("t" + std::to_string(i % 4)), image);
                } else {
                    WriteFileAtomic(target, image);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    // The next writer in the folder takes away what a writer killed in the last instant left.
    WriteFileAtomic(target, Image("x"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().filename().string().rfind(".rvx-", 0), 0u) << entry.path();
    }
}

} // namespace
} // namespace hrv
