// rvx-cli on ECG records: analyze says where the beats came from, beats writes them as CSV.
#include "cli/commands.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <sstream>

namespace hrv {
namespace {

const std::string kMitdb = std::string(HRV_SHARED_ECG) + "/mitdb/";

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
};

Outcome RunCli(const cli::Args& args) {
    std::ostringstream out;
    std::ostringstream err;
    Outcome o;
    o.status = cli::Run(args, out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
}

TEST(CliEcg, AnalyzeNamesTheBeatsAndTheChannelOfARecordOnly) {
    Outcome o = RunCli({"analyze", "--nonlinear", kMitdb + "100.hea"});
    EXPECT_EQ(o.status, cli::kExitOk) << o.out;
    EXPECT_NE(o.out.find("\"type\": \"wfdb\", \"ok\": true, \"beats\": \"detected\", "
                         "\"channel\": \"MLII\", \"RrCount\""),
              std::string::npos)
        << o.out;
    o = RunCli({"analyze", "--beats", "annotations", "--channel", "v5", "--windows", "300",
                kMitdb + "100.dat"});
    EXPECT_EQ(o.status, cli::kExitOk) << o.out;
    EXPECT_NE(o.out.find("\"beats\": \"annotations\", \"channel\": \"V5\", \"window\": 5"),
              std::string::npos)
        << o.out;
}

TEST(CliEcg, BeatsAreWrittenAsCsvAtTheChannelsRate) {
    // The first beats of 100.beats.csv: samples 77 and 370 at 360 Hz.
    Outcome o = RunCli({"beats", "--beats", "annotations", kMitdb + "100.hea"});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    EXPECT_TRUE(o.out.starts_with("time_s,sample,kind,source\n"
                                  "0.213889,77,normal,annotation\n"
                                  "1.027778,370,normal,annotation\n"))
        << o.out.substr(0, 200);
    o = RunCli({"beats", "--channel", "1", kMitdb + "100.dat"});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    // The detector places the first R-peak of V5 within 150 ms of the reference.
    EXPECT_NEAR(std::stod(o.out.substr(o.out.find('\n') + 1)), 0.213889, 0.15)
        << o.out.substr(0, 200);
    EXPECT_NE(o.out.find(",unknown,detected\n"), std::string::npos);
}

TEST(CliEcg, RefusedRecordsNameTheFileAndFail) {
    const test::ScratchDir dir;
    const std::string lone = (dir / "100.dat").string();
    // A signal file without its header is read as an RR file, and its bytes are no intervals.
    std::filesystem::copy_file(kMitdb + "100.dat", lone);
    Outcome o = RunCli({"beats", lone});
    EXPECT_EQ(o.status, cli::kExitFailed);
    EXPECT_NE(o.err.find(lone), std::string::npos) << o.err;
    o = RunCli({"beats", "--channel", "V2", kMitdb + "100.hea"});
    EXPECT_EQ(o.status, cli::kExitFailed);
    EXPECT_NE(o.err.find("в записи нет канала «V2»"), std::string::npos) << o.err;
    o = RunCli({"analyze", "--channel", "2", kMitdb + "100.hea"});
    EXPECT_EQ(o.status, cli::kExitFailed);
    EXPECT_NE(o.out.find("\"ok\": false"), std::string::npos) << o.out;
    EXPECT_NE(RunCli({"beats", "--help"}).out.find("time_s,sample,kind,source"), std::string::npos);
}

} // namespace
} // namespace hrv
