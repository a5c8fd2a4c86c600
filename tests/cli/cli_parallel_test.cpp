// rvx-cli analyze over many files at once: the same output, in the same order, as file by file.
#include "analysis/ordered_map.h"
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

TEST(CliParallel, ResultsAreTakenInOrderWhileTheirThreadsHoldThem) {
    constexpr std::size_t kItems = 40;
    std::atomic<int> states{0};
    std::vector<std::size_t> order;
    // Each result points into its thread's state; the thread must not move on before it is taken.
    OrderedMap<const std::size_t*>(
        kItems, 4, true,
        [&] {
            ++states;
            return std::make_unique<std::size_t>();
        },
        [](std::unique_ptr<std::size_t>& state, std::size_t i) {
            std::this_thread::sleep_for(std::chrono::milliseconds((kItems - i) % 5));
            *state = i;
            return static_cast<const std::size_t*>(state.get());
        },
        [&](std::size_t i, const std::size_t* held) {
            EXPECT_EQ(*held, i);
            order.push_back(i);
        });
    ASSERT_EQ(order.size(), kItems);
    for (std::size_t i = 0; i < kItems; ++i) {
        EXPECT_EQ(order[i], i);
    }
    EXPECT_LE(states, 4);

    // A failing item ends the run at its turn, after every earlier result was taken.
    std::size_t taken = 0;
    EXPECT_THROW(OrderedMap<int>(
                     kItems, 3, false, [] { return 0; },
                     [](int&, std::size_t i) {
                         if (i == 6) {
                             throw std::runtime_error("item 6");
                         }
                         return static_cast<int>(i);
                     },
                     [&](std::size_t, int) { ++taken; }),
                 std::runtime_error);
    EXPECT_EQ(taken, 6u);
}

} // namespace
} // namespace hrv
