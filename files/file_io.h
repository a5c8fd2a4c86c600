// The one place where the program reads and writes whole files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace hrv {

// A failure of the file layer: a file that cannot be opened, read, created or written. The text
// names the file and the reason and is shown to the user as it stands.
class FileIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when `path` names a regular file (through symbolic links).
bool FileExists(const std::string& path);

// The message for a path that FileExists refused: "Файл PATH не найден" when nothing is there;
// otherwise what the path is (a folder, a device, a FIFO) or why it cannot be looked at (a name
// too long, no permission), in the file layer's "Ошибка ввода-вывода: ..." form.
std::string MissingFileMessage(const std::string& path);

// Reads at most `limit` bytes from the start of the file. A folder, FIFO or device is refused
// before it is opened, so a reader never waits on one. Throws FileIoError.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t limit);

// The same into `buffer`, which then holds exactly the bytes read. Its capacity is kept, so a
// buffer reused for every open allocates only when a file is larger than all before. Throws
// FileIoError (the buffer's contents are then unspecified).
void ReadFileInto(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& buffer);

// Replaces the file at `path` with `bytes` atomically: the bytes go to a temporary file beside
// the file, which is flushed and then renamed over the old one, so a failure leaves the previous
// file intact. A symbolic link is written through to its final target; the old file's mode and
// owner are kept (another user's file, whose owner and group a new file could not be given, is
// written in place as below); a new file gets 0666 less the umask. A target
// that is not a regular file (a folder, FIFO or device), a file with more than one hard link
// (whose other names would keep the old contents) and a file the user may not write are
// refused. A writable file in a folder where no temporary can be made is written in place:
// new bytes past the old end first, the old bytes put back when the write fails. The temporary
// is unnamed where the file system allows (O_TMPFILE), so a writer killed meanwhile leaves
// nothing; a named one left by a dead writer (its lock free, or unlockable here and a minute
// old) is removed by the next write in the folder.
// Throws FileIoError.
void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

// Refuses, with the FileIoError WriteFileAtomic would throw, a path it could not write: a
// folder, FIFO or device, a file with other hard links, a file the user may not write, a name
// too long, a missing folder or one where no new file can be made. Writes nothing; a later
// write can still fail (a full disk).
void CheckWriteTarget(const std::string& path);

// Creates the file at `path` with `bytes` as its whole contents, only when nothing is there: the
// file appears whole or not at all (readers and appenders never see it part-written). False,
// with nothing changed, when the file exists already. Throws FileIoError.
bool CreateFileExclusive(const std::string& path, std::span<const std::uint8_t> bytes);

// What an opener does while another program holds the appenders' lock: `call`, when given, is
// called once after `afterMs` without the lock (to say that it waits; it may also throw to give
// up), and the opener waits on.
struct LockNotice {
    int afterMs = 500;
    std::function<void()> call;
};

// An existing file held open for reading and appending under an exclusive advisory lock
// (flock / LockFileEx) that every appender of the file takes, so reading it and appending to it
// are one step for all others. Appends go to the end whatever others wrote before (O_APPEND /
// FILE_APPEND_DATA).
class LockedAppendFile {
public:
    // Opens and locks the file at `path`; nullptr when no file is there. A file that may be read
    // but not written is opened all the same: Append then fails with the reason. While another
    // program holds the lock it waits, with `notice` (see LockNotice). Throws FileIoError (a
    // folder, FIFO or device is refused without waiting on it).
    static std::unique_ptr<LockedAppendFile> Open(const std::string& path,
                                                  const LockNotice& notice = {});
    virtual ~LockedAppendFile() = default;

    // Reads the next bytes from the start of the file on; 0 at its end. Throws FileIoError.
    virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;
    // Appends `bytes` in one piece and flushes them. When that fails, the bytes this call wrote
    // are removed again if no one else appended since; otherwise they are left. Throws
    // FileIoError.
    virtual void Append(std::span<const std::uint8_t> bytes) = 0;
};

// Appends `bytes` to the file at `path` (created when missing) in one piece under the appenders'
// lock: when the write fails, the bytes it wrote are removed again. Throws FileIoError.
void AppendFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

// Modification time of an existing file as seconds since 1970 (UTC). Throws FileIoError.
std::int64_t FileModificationTime(const std::string& path);

} // namespace hrv
