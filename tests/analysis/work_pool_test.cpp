// The shared worker threads of the analysis: in a process made by fork(), and kept off an
// analysis that runs on its own thread.
#include "analysis/work_pool.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace hrv {
namespace {

// A child forked while another thread keeps the parent's workers busy runs its tasks, in
// order, and leaves through exit() (which ends the pool of the process) without hanging.
TEST(WorkPool, AForkedChildRunsItsTasksAndExits) {
    SetAnalysisThreads(2);
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        while (!stop) {
            std::array<int, 64> out{};
            RunTasksInOrder(
                64, [&out](int i) { out[static_cast<std::size_t>(i)] = i; }, [](int) {});
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            alarm(20); // a hang ends the child by SIGALRM, which fails the test
            std::atomic<int> sum{0};
            int next = 0;
            bool inOrder = true;
            RunTasksInOrder(
                100, [&sum](int i) { sum += i; },
                [&next, &inOrder](int i) { inOrder = inOrder && i == next++; });
            std::exit(sum == 4950 && inOrder && next == 100 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "round " << round << ", status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "round " << round;
    }
    stop = true;
    busy.join();
    SetAnalysisThreads(0);
}

// Windows analysed side by side: each analysis keeps its tasks on its own thread.
TEST(WorkPool, AnAnalysisOnThisThreadOnlyRunsEveryTaskHere) {
    SetAnalysisThreads(2);
    const auto here = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    {
        const AnalysisOnThisThreadOnly alone;
        RunTasksInOrder(
            200,
            [&](int) {
                elsewhere += std::this_thread::get_id() != here ? 1 : 0;
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            },
            [](int) {});
    }
    SetAnalysisThreads(0);
    EXPECT_EQ(elsewhere, 0);
}

} // namespace
} // namespace hrv
#endif
