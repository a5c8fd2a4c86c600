// Worker threads an analysis spreads its tasks over, made once and reused by every call, with
// the results handed over in order on the calling thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace hrv {

// Threads an executor may have, the calling one included.
inline constexpr int kMaxThreads = 64;

// The logical processors this process may run on (1..64).
int ProcessorThreads();

// The threads a program's executor has: RVX_THREADS from the environment when it is a whole
// number from 1 (64 when larger), otherwise ProcessorThreads().
int ThreadsFromEnvironment();

// A non-owning reference to a callable; the callable must outlive the call.
template <class Signature> class CallRef;

template <class R, class... Args> class CallRef<R(Args...)> {
public:
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, CallRef>)
        CallRef(F&& f) // NOLINT: converts implicitly, like std::function
        : object_(const_cast<void*>(static_cast<const void*>(&f))),
          call_([](void* o, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(o))(std::forward<Args>(args)...);
          }) {}

    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

// Runs the tasks of one call on the calling thread and up to Threads() - 1 workers, made when
// first needed and kept for later calls. Results never depend on the number of threads: each
// task is run by exactly one thread, in the same way, and its result taken in task order.
//
// A call made from inside a task or a result handler of a call spread over the workers, and a
// call made while another thread's call holds them, runs all its tasks on its own thread. A
// child made by fork() gets workers of its own on its first call.
class Executor {
public:
    // `threads` is clamped to 1..kMaxThreads; with 1 every call runs on the calling thread.
    explicit Executor(int threads);
    // Joins the workers; no call may be running.
    ~Executor();
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    int Threads() const { return threads_; }

    // The executor that runs everything on the calling thread.
    static Executor& CallingThreadOnly();

    // Runs task(i) once for every i in 0..count-1, tasks taken in increasing order, and calls
    // finished(i) on the calling thread for i = 0, 1, 2, ... in order, each as soon as tasks
    // 0..i are all done. Handing the workers tasks allocates nothing. The tasks must not throw;
    // if finished throws, the tasks already started are completed before the exception leaves.
    void RunInOrder(int count, CallRef<void(int)> task, CallRef<void(int)> finished);

    // The results a Map may hold at once, made and not yet handed to take(): four per thread.
    std::size_t HeldResults() const { return 4 * static_cast<std::size_t>(threads_); }

    // Runs work(state, i) for every i in [0, count) and hands each result to take(i, result) on
    // the calling thread, in increasing i. No item is started before take() has returned for the
    // one HeldResults() before it, so however long take() blocks (a slow reader of its output)
    // at most HeldResults() results wait. Each thread makes its State once, with makeState(),
    // at its first item, and keeps it for all its items of this call. With holdState a thread
    // starts its next item only after take() returned for its last one, so a result may point
    // into the thread's State. An exception from makeState() or work() is thrown from here when
    // its item's turn comes, one from take() at once; either way the other threads finish the
    // item they hold and take no more before it leaves.
    template <class Result, class MakeState, class Work, class Take>
    void Map(std::size_t count, bool holdState, MakeState makeState, Work work, Take take);

private:
    struct Pool;
    using Task = CallRef<void(std::size_t, int)>; // (item, thread slot 0..Threads()-1)
    using Finished = CallRef<void(std::size_t)>;

    // With `ahead` above 0, task i starts only once finished() has returned for i - ahead.
    void Run(std::size_t count, Task task, Finished finished, bool hold, std::size_t ahead = 0);
    Pool& CurrentPool();

    int threads_;
    std::atomic<Pool*> pool_{nullptr};
};

// The executor of the program: ThreadsFromEnvironment() threads, made on first use. It is never
// destroyed, so that a thread still analysing while the process exits (a Python daemon thread)
// finds its workers, mutex and condition variables in place.
Executor& ProgramExecutor();

template <class Result, class MakeState, class Work, class Take>
void Executor::Map(std::size_t count, bool holdState, MakeState makeState, Work work, Take take) {
    using State = decltype(makeState());
    struct Slot {
        std::optional<Result> result;
        std::exception_ptr error;
    };
    std::vector<std::optional<State>> states(static_cast<std::size_t>(threads_));
    // Item i's result waits in slot i % held: item i + held starts only after take(i) returned.
    const std::size_t held = HeldResults();
    std::vector<Slot> slots(std::min(count, held));
    Run(
        count,
        [&](std::size_t i, int thread) {
            std::optional<State>& state = states[static_cast<std::size_t>(thread)];
            Slot& slot = slots[i % held];
            try {
                if (!state) {
                    state.emplace(makeState());
                }
                slot.result.emplace(work(*state, i));
            } catch (...) {
                slot.error = std::current_exception();
            }
        },
        [&](std::size_t i) {
            Slot& slot = slots[i % held];
            if (slot.error) {
                std::rethrow_exception(slot.error);
            }
            Result r = std::move(*slot.result);
            slot.result.reset();
            take(i, std::move(r));
        },
        holdState, held);
}

} // namespace hrv
