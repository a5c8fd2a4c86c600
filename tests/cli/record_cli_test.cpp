// rvx-cli record against the device simulator on a pseudo-terminal: the recording gives the
// intervals of the file played, and so its indices.
#include "analysis/fragment_data.h"
#include "cli/commands.h"
#include "files/rr_file.h"
#include "presentation/messages.h"
#include "tests/support/pty_support.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/small_mount.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace hrv {
namespace {

using test::DevSim;
using test::ScopedEnv;

std::string Shared(const std::string& name) {
    return std::string(HRV_SHARED_DATA) + "/" + name;
}

// Sends SIGINT to the process (which aborts a recording) if the body has not finished within
// the limit, so a test never hangs on a device that stays silent.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  ::kill(::getpid(), SIGINT);
              }
          }) {}
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

CliResult RunCli(const cli::Args& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::Run(args, out, err);
    return {status, out.str(), err.str()};
}

// The value of "key": ... in a JSON line, up to the next comma.
std::string Field(const std::string& line, const std::string& key) {
    const auto at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) {
        return "<missing>";
    }
    const auto start = at + key.size() + 4;
    return line.substr(start, line.find_first_of(",}", start) - start);
}

class RecordCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        out_ = std::filesystem::temp_directory_path() /
               ("rvx_record_" + std::to_string(::getpid()) + "_" + name + ".rr");
        std::filesystem::remove(out_);
    }
    void TearDown() override { std::filesystem::remove(out_); }
    std::filesystem::path out_;
};

struct PlayCase {
    const char* file;
    int device;
};

// "nsrdb_long_00_06min_Model0": the file's name up to its extension, and the device model.
void PrintTo(const PlayCase& c, std::ostream* os) {
    for (const char* p = c.file; *p != '\0' && *p != '.'; ++p) {
        *os << (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    }
    *os << "_Model" << c.device;
}

class RecordCliPlay : public RecordCliTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(RecordCliPlay, RecordsTheIntervalsOfTheFilePlayed) {
    const std::string source = Shared(GetParam().file);
    if (!std::filesystem::exists(source)) {
        GTEST_SKIP() << "recording not found: " << source;
    }
    const std::string device = std::to_string(GetParam().device);
    DevSim sim({"--speed", "0", "--once", "--device", device, "--junk", "7,200", "--status", "1:3",
                source});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM3", sim.Path());
    CliResult rec;
    {
        const Watchdog watchdog(std::chrono::seconds(60));
        rec = RunCli({"record", "--port", "COM3", "--baud", "38400", "--device", device, "--out",
                      out_.string()});
    }
    ASSERT_EQ(rec.status, cli::kExitOk) << rec.err;
    EXPECT_NE(rec.err.find("Нет пульса"), std::string::npos) << rec.err;
    EXPECT_TRUE(sim.WaitExit(std::chrono::seconds(10))) << "the simulator did not see the close";

    // The saved fragment analyses to exactly what record printed.
    const CliResult saved = RunCli({"analyze", out_.string()});
    EXPECT_EQ(saved.out, rec.out);

    // Its intervals are the file's first ones, up to the one that passed 330 s.
    auto played = std::make_unique<FragmentData>();
    auto recorded = std::make_unique<FragmentData>();
    ReadRrFile(source, *played);
    ReadRrFile(out_.string(), *recorded);
    ASSERT_GT(recorded->RrCount, 3);
    ASSERT_LE(recorded->RrCount, played->RrCount);
    int total = 0;
    for (int k = 1; k <= recorded->RrCount; ++k) {
        EXPECT_EQ(recorded->RrWords[k], played->RrWords[k]) << k;
        total += recorded->RrWords[k] >> 8;
    }
    EXPECT_GT(total, 33000);
    EXPECT_LE(total - (recorded->RrWords[recorded->RrCount] >> 8), 33000);

    // And so the indices are those of the file itself.
    const CliResult direct = RunCli({"analyze", source});
    ASSERT_EQ(direct.status, cli::kExitOk);
    for (const char* key :
         {"FragmentCount", "SDNN", "RMSSD", "NN50", "pNN50", "HRVind", "TINN", "HR", "ModeClass",
          "AMo", "MinClass", "MaxClass", "VLF", "LF", "HF", "Total", "LFnorm", "HFnorm", "LFHF"}) {
        EXPECT_EQ(Field(rec.out, key), Field(direct.out, key)) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RecordCliPlay,
                         ::testing::Values(PlayCase{"nsrdb_long_00-06min.rr", 0},
                                           PlayCase{"polar_exercise_06-12min.rr", 1}),
                         ::testing::PrintToStringParamName());

TEST_F(RecordCliTest, CorrectedRecordingSavesTheIntervalsAsRecorded) {
    const std::string source = Shared("bidmc01_110-470s_ref_ppg.rr");
    if (!std::filesystem::exists(source)) {
        GTEST_SKIP() << "recording not found: " << source;
    }
    DevSim sim({"--speed", "0", "--once", source});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM3", sim.Path());
    CliResult rec;
    {
        const Watchdog watchdog(std::chrono::seconds(60));
        rec = RunCli({"record", "--port", "COM3", "--baud", "38400", "--correct", "auto", "--out",
                      out_.string()});
    }
    ASSERT_EQ(rec.status, cli::kExitOk) << rec.err;
    EXPECT_NE(rec.out.find("\"corrected_intervals\": ["), std::string::npos) << rec.out;
    // The saved file is what was recorded, and corrected it analyses to what record printed.
    EXPECT_EQ(RunCli({"analyze", "--correct", "auto", out_.string()}).out, rec.out);
    auto played = std::make_unique<FragmentData>();
    auto recorded = std::make_unique<FragmentData>();
    ReadRrFile(source, *played);
    ReadRrFile(out_.string(), *recorded);
    ASSERT_GT(recorded->RrCount, 3);
    for (int k = 1; k <= recorded->RrCount; ++k) {
        ASSERT_EQ(recorded->RrWords[k], played->RrWords[k]) << k;
    }
}

TEST_F(RecordCliTest, BrokenStreamEndsWithTheReadError) {
    DevSim sim({"--speed", "0", "--once", "--break", "5", "--generate", "20"});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path());
    CliResult rec;
    {
        const Watchdog watchdog(std::chrono::seconds(60));
        rec = RunCli({"record", "--out", out_.string()});
    }
    EXPECT_EQ(rec.status, cli::kExitFailed);
    EXPECT_NE(rec.err.find(std::string(msg::kComReadError)), std::string::npos) << rec.err;
    EXPECT_TRUE(rec.out.empty());
    EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(RecordCliTest, SimulatorKilledMidStreamEndsWithTheReadError) {
    DevSim sim({"--speed", "2", "--generate", "500"});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path());
    std::thread killer([&sim] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        sim.Kill();
    });
    CliResult rec;
    {
        // Without the silence rule only the hang-up can end it before the watchdog's abort.
        const Watchdog watchdog(std::chrono::seconds(20));
        rec = RunCli({"record", "--silence", "0", "--out", out_.string()});
    }
    killer.join();
    EXPECT_EQ(rec.status, cli::kExitFailed);
    EXPECT_NE(rec.err.find(std::string(msg::kComReadError)), std::string::npos) << rec.err;
    EXPECT_EQ(rec.err.find("aborted"), std::string::npos) << rec.err;
    EXPECT_TRUE(rec.out.empty());
    EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(RecordCliTest, SilentDeviceEndsAfterTheSilenceTime) {
    DevSim sim({"--speed", "0", "--once", "--generate", "3"}); // three beats, then nothing
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path());
    CliResult rec;
    {
        const Watchdog watchdog(std::chrono::seconds(20));
        rec = RunCli({"record", "--silence", "1", "--out", out_.string()});
    }
    EXPECT_EQ(rec.status, cli::kExitFailed);
    EXPECT_NE(rec.err.find(std::string(msg::kComReadError) + ": от COM2 ничего не получено за 1 с"),
              std::string::npos)
        << rec.err;
    EXPECT_TRUE(rec.out.empty());
    EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(RecordCliTest, MissingPortGivesTheInitialisationError) {
    const ScopedEnv port("RVX_COM1", "/nonexistent/rvx-port");
    const CliResult rec = RunCli({"record", "--port", "COM1"});
    EXPECT_EQ(rec.status, cli::kExitFailed);
    EXPECT_NE(rec.err.find(std::string(msg::kComInitError)), std::string::npos) << rec.err;
    // The device and the reason.
    EXPECT_NE(rec.err.find(": /nonexistent/rvx-port ("), std::string::npos) << rec.err;
}

TEST_F(RecordCliTest, ATargetThatCannotBeWrittenIsRefusedBeforeTheRecording) {
    // No device at all: a refusal that comes first names the target, not the port.
    const ScopedEnv port("RVX_COM2", "/nonexistent/rvx-port");
    const test::ScratchDir dir;
    const std::string fifo = dir / "fifo.rr";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string twoNames = dir / "a.rr";
    { std::ofstream(twoNames) << "x"; }
    std::filesystem::create_hard_link(twoNames, dir / "b.rr");
    for (const std::string& target :
         std::vector<std::string>{dir.string(), fifo, twoNames, "/dev/null", dir / "missing/a.rr",
                                  dir / (std::string(253, 'n') + ".rr")}) { // a 256-byte name
        const auto started = std::chrono::steady_clock::now();
        const CliResult rec = RunCli({"record", "--out", target});
        EXPECT_EQ(rec.status, cli::kExitFailed) << target;
        EXPECT_NE(rec.err.find(target + " ("), std::string::npos) << rec.err;
        EXPECT_EQ(rec.err.find(std::string(msg::kComInitError)), std::string::npos) << rec.err;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
    EXPECT_EQ(std::filesystem::file_size(twoNames), 1u);
}

TEST_F(RecordCliTest, TheAnalysisIsPrintedWhenSavingFails) {
    const test::ScratchDir dir;
    const test::SmallMount disk(dir, 64 * 1024);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    }
    DevSim sim({"--speed", "0", "--once", "--generate", "500"});
    ASSERT_FALSE(sim.Path().empty());
    const ScopedEnv port("RVX_COM2", sim.Path());
    disk.Fill(); // the target can be made, its bytes cannot be written
    const std::string target = disk / "a.rr";
    CliResult rec;
    {
        const Watchdog watchdog(std::chrono::seconds(60));
        rec = RunCli({"record", "--out", target});
    }
    EXPECT_EQ(rec.status, cli::kExitFailed);
    EXPECT_NE(rec.err.find("не удалось записать файл " + target), std::string::npos) << rec.err;
    EXPECT_EQ(Field(rec.out, "ok"), "true") << rec.out;
    EXPECT_EQ(Field(rec.out, "file"), "\"COM2\"") << rec.out;
}

TEST_F(RecordCliTest, WordsNotUnderstood) {
    for (const cli::Args& args : std::vector<cli::Args>{{"record", "--port", "COM4"},
                                                        {"record", "--baud", "9600"},
                                                        {"record", "--device", "2"},
                                                        {"record", "--out"},
                                                        {"record", "--silence", "-1"},
                                                        {"record", "--silence", "2s"},
                                                        {"record", "--correct", "yes"},
                                                        {"record", "--colour", "red"}}) {
        EXPECT_EQ(RunCli(args).status, cli::kExitUsage) << args.back();
    }
}

} // namespace
} // namespace hrv
