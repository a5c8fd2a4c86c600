// The executor: results in order, per-thread state, calls from inside a task, fork and exit.
#include "util/executor.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace hrv {
namespace {

TEST(Executor, ResultsAreTakenInOrderWhileTheirThreadsHoldThem) {
    constexpr std::size_t kItems = 40;
    Executor executor(4);
    std::atomic<int> states{0};
    std::vector<std::size_t> order;
    // Each result points into its thread's state; the thread must not move on before it is taken.
    executor.Map<const std::size_t*>(
        kItems, true,
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

    // A failing item ends the run at its turn, after every earlier result was taken; the
    // executor serves the next call.
    std::size_t taken = 0;
    EXPECT_THROW(executor.Map<int>(
                     kItems, false, [] { return 0; },
                     [](int&, std::size_t i) {
                         if (i == 6) {
                             throw std::runtime_error("item 6");
                         }
                         return static_cast<int>(i);
                     },
                     [&](std::size_t, int) { ++taken; }),
                 std::runtime_error);
    EXPECT_EQ(taken, 6u);
    int sum = 0;
    executor.RunInOrder(
        600, [](int) {}, [&sum](int i) { sum += i; });
    EXPECT_EQ(sum, 599 * 600 / 2); // over more than one batch of tasks
}

TEST(Executor, ACallFromInsideATaskRunsOnThatThread) {
    Executor executor(3);
    std::atomic<bool> elsewhere{false};
    executor.RunInOrder(
        8,
        [&](int) {
            const auto here = std::this_thread::get_id();
            executor.RunInOrder(
                8,
                [&](int) {
                    if (std::this_thread::get_id() != here) {
                        elsewhere = true;
                    }
                },
                [](int) {});
        },
        [](int) {});
    EXPECT_FALSE(elsewhere);
}

#if !defined(_WIN32)
// A child forked while another thread keeps the parent's workers busy runs its tasks, in
// order, and leaves through exit() without hanging.
TEST(Executor, AForkedChildRunsItsTasksAndExits) {
    Executor executor(2);
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop) {
            std::array<int, 64> out{};
            executor.RunInOrder(
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
            executor.RunInOrder(
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
}

// The process ends while a thread it never joins (as a Python daemon thread) is inside the
// program's executor: exit() runs the static destructors under it and must neither crash nor
// hang.
TEST(ExecutorDeathTest, TheProcessExitsWhileAThreadIsStillRunningTasks) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int round = 0; round < 5; ++round) {
        EXPECT_EXIT(
            {
                alarm(20);
                std::thread([] {
                    for (;;) {
                        std::array<double, 64> out{};
                        ProgramExecutor().RunInOrder(
                            64,
                            [&out](int i) {
                                for (int k = 0; k < 2000; ++k) {
                                    out[static_cast<std::size_t>(i)] += k * 1e-3;
                                }
                            },
                            [](int) {});
                    }
                }).detach();
                std::this_thread::sleep_for(std::chrono::milliseconds(5 * round + 5));
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << "round " << round;
    }
    // The same at a known moment: an exit handler registered before the program's executor was
    // made runs after exit() has destroyed every static object made later, and still analyses.
    EXPECT_EXIT(
        {
            alarm(20);
            std::atexit([] {
                int sum = 0;
                ProgramExecutor().RunInOrder(
                    100, [](int) {}, [&sum](int i) { sum += i; });
                std::_Exit(sum == 4950 ? 0 : 3);
            });
            ProgramExecutor().RunInOrder(
                100, [](int) {}, [](int) {});
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

} // namespace
} // namespace hrv
