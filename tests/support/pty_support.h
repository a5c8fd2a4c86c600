// Pseudo-terminals and the device simulator for the tests of the serial link and the recording.
#pragma once

#include "tests/support/test_support.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace hrv::test {

// A pseudo-terminal: the test holds the master side, the link opens the slave path.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            if (const char* name = ::ptsname(master_)) {
                slave_ = name;
            }
            termios t{};
            ::tcgetattr(master_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(master_, TCSANOW, &t);
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty() { HangUp(); }
    // Closes the master side, as a device that goes away: the slave hangs up.
    void HangUp() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }
    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& SlavePath() const { return slave_; }
    int Master() const { return master_; }
    void Send(const std::vector<std::uint8_t>& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

private:
    int master_ = -1;
    std::string slave_;
};

// rvx-devsim as a child process; its first line (the terminal's path) is read at start. The
// child is ended when the object goes.
class DevSim {
public:
    explicit DevSim(std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addclose(&actions, out[0]);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        args.insert(args.begin(), HRV_DEVSIM);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, HRV_DEVSIM, &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(out[0]);
            return;
        }
        // The first line, read byte by byte; the simulator prints it at once.
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
            path_ += c;
        }
        ::close(out[0]);
    }
    DevSim(const DevSim&) = delete;
    DevSim& operator=(const DevSim&) = delete;
    ~DevSim() {
        if (pid_ > 0 && !WaitExit(std::chrono::seconds(5))) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Path() const { return path_; }

    // Kills the simulator at once, as a device that goes away mid-stream.
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
    }

    // Waits up to `limit` for the simulator to end by itself; true when it has.
    bool WaitExit(std::chrono::milliseconds limit) {
        if (pid_ <= 0) {
            return true;
        }
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    std::string path_;
};

} // namespace hrv::test
