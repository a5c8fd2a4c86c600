// rvx-cli analyze over many files at once: the same output, in the same order, as file by file.
#include "cli/commands.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace hrv {
namespace {

TEST(CliParallel, ManyFilesGiveTheLinesAndTableRowsOfOneFileAtATimeInArgumentOrder) {
    const test::ScratchDir dir;
    cli::Args files;
    for (int i = 0; i < 7; ++i) {
        const std::string path = (dir / ("f" + std::to_string(i) + ".rr")).string();
        // Lengths differ, so the files take different times and finish out of order.
        test::WriteBytes(path, test::RrImage(test::TwoBandRhythm(300 + 250 * (i % 4), 70 + i)));
        files.push_back(path);
    }
    const std::string tinyPpg = (dir / "tiny.ppg").string();
    test::WriteBytes(tinyPpg, {231, 0, 0});
    files.insert(files.begin() + 2, (dir / "missing.rr").string());
    files.insert(files.begin() + 5, tinyPpg);
    files.push_back(dir.path().string()); // a folder last

    const std::string oneByOneTable = (dir / "one.txt").string();
    std::ostringstream oneByOne;
    for (const std::string& file : files) {
        std::ostringstream err;
        cli::Run({"analyze", "--spectrum", "--table", oneByOneTable, file}, oneByOne, err);
    }
    const std::string allTable = (dir / "all.txt").string();
    cli::Args all{"analyze", "--spectrum", "--table", allTable};
    all.insert(all.end(), files.begin(), files.end());
    std::ostringstream together;
    std::ostringstream err;
    EXPECT_EQ(cli::Run(all, together, err), cli::kExitFailed);
    const std::string lines = together.str();
    EXPECT_EQ(lines, oneByOne.str());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 10);
    EXPECT_EQ(test::ReadBytes(allTable), test::ReadBytes(oneByOneTable));
}

} // namespace
} // namespace hrv
