// Worker threads an analysis spreads its tasks over.
#include "util/executor.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif
#if !defined(_WIN32)
#include <pthread.h>
#endif

namespace hrv {

namespace {

constexpr int kMaxTasks = 256; // tasks handed to the workers in one batch

// Forks this process has gone through: a pool made before the last one belongs to the parent,
// whose workers the child does not have.
std::atomic<std::uint64_t> forks{0};

void CountForks() {
#if !defined(_WIN32)
    static const bool registered = [] {
        pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1); });
        return true;
    }();
    (void)registered;
#endif
}

// True on a thread while it runs the tasks or result handlers of a call spread over workers.
thread_local bool holding = false;

} // namespace

int ProcessorThreads() {
#if defined(__linux__)
    // The processors this process may run on (a container or taskset may allow fewer than the
    // machine has).
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        return std::clamp(CPU_COUNT(&allowed), 1, kMaxThreads);
    }
#endif
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
}

int ThreadsFromEnvironment() {
    if (const char* env = std::getenv("RVX_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && n >= 1) {
            return static_cast<int>(std::min<long>(n, kMaxThreads));
        }
    }
    return ProcessorThreads();
}

namespace {

// One batch of tasks. Lives on the caller's stack; before leaving, the caller withdraws it from
// workers that have not taken it up yet and waits for those that have to let go of it.
struct Batch {
    std::size_t first = 0; // index of task 0 of the batch
    int count = 0;
    CallRef<void(std::size_t, int)> task;
    bool hold = false;                  // a thread's next task waits until its last is reported
    int ahead = 0;                      // above 0: task i waits until i - ahead is reported
    std::atomic<int> next{0};           // next task to take
    std::array<bool, kMaxTasks> done{}; // guarded by the pool's mutex, as are the three below
    int reported = 0;                   // tasks whose `finished` has returned (hold or ahead)
    bool stopped = false;               // the call is leaving: take no more tasks
    int holders = 0;                    // workers holding the batch
};

} // namespace

struct Executor::Pool {
    explicit Pool(std::uint64_t forkCount) : forksSeen(forkCount) {}

    ~Pool() {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        wake.notify_all();
        for (auto& t : threads) {
            t.join();
        }
    }

    // Hands the batch to workers 0..helpers-1, making those that do not exist yet; false when
    // not even one could be made.
    bool Start(Batch& batch, int wanted) {
        const std::lock_guard lock(mutex);
        try {
            while (static_cast<int>(threads.size()) < wanted) {
                threads.emplace_back(
                    [this, index = static_cast<int>(threads.size())] { Work(index); });
            }
        } catch (const std::system_error&) {
            wanted = static_cast<int>(threads.size()); // the system refused more threads
            if (wanted == 0) {
                return false;
            }
        }
        helpers = wanted;
        current = &batch;
        ++generation;
        wake.notify_all();
        return true;
    }

    void MarkDone(Batch& batch, int i) {
        {
            const std::lock_guard lock(mutex);
            batch.done[static_cast<std::size_t>(i)] = true;
        }
        changed.notify_all();
    }

    // With hold: waits until task i has been reported or the call is leaving.
    void WaitReported(Batch& batch, int i) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return batch.reported > i || batch.stopped; });
    }

    // With ahead: waits until task i may start; false when the call is leaving instead.
    bool WaitAhead(Batch& batch, int i) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return batch.reported + batch.ahead > i || batch.stopped; });
        return !batch.stopped;
    }

    void Work(int index) {
        std::uint64_t seen = 0;
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] {
                return stop || (current != nullptr && generation != seen && index < helpers);
            });
            if (stop) {
                return;
            }
            seen = generation;
            Batch& batch = *current;
            ++batch.holders;
            lock.unlock();
            for (int i; (i = batch.next.fetch_add(1)) < batch.count;) {
                if (batch.ahead > 0 && !WaitAhead(batch, i)) {
                    break;
                }
                batch.task(batch.first + static_cast<std::size_t>(i), index + 1);
                MarkDone(batch, i);
                if (batch.hold) {
                    WaitReported(batch, i);
                }
            }
            lock.lock();
            --batch.holders;
            changed.notify_all();
        }
    }

    // Runs a started batch on the calling thread and the workers it was handed to.
    void Run(Batch& batch, CallRef<void(std::size_t)> finished) {
        // However this call ends, the workers let go of the batch before it goes away. A worker
        // woken too late (a busy machine) no longer takes it up.
        struct Release {
            Pool& pool;
            Batch& batch;
            ~Release() {
                std::unique_lock lock(pool.mutex);
                pool.current = nullptr;
                batch.stopped = true;
                batch.next.store(batch.count);
                pool.changed.notify_all();
                pool.changed.wait(lock, [this] { return batch.holders == 0; });
            }
        } release{*this, batch};

        int reported = 0; // tasks whose `finished` has been called
        const auto report = [&](bool wait) {
            std::unique_lock lock(mutex);
            if (wait) {
                changed.wait(lock, [&] { return batch.done[static_cast<std::size_t>(reported)]; });
            }
            int ready = reported;
            while (ready < batch.count && batch.done[static_cast<std::size_t>(ready)]) {
                ++ready;
            }
            lock.unlock();
            for (; reported < ready; ++reported) {
                finished(batch.first + static_cast<std::size_t>(reported));
                if (batch.hold || batch.ahead > 0) {
                    {
                        const std::lock_guard reportedLock(mutex);
                        batch.reported = reported + 1;
                    }
                    changed.notify_all();
                }
            }
        };
        for (int i; (i = batch.next.fetch_add(1)) < batch.count;) {
            while (batch.ahead > 0 && i >= reported + batch.ahead) {
                report(true);
            }
            batch.task(batch.first + static_cast<std::size_t>(i), 0);
            MarkDone(batch, i);
            report(false);
            while (batch.hold && reported <= i) {
                report(true);
            }
        }
        while (reported < batch.count) {
            report(true);
        }
    }

    const std::uint64_t forksSeen; // forks before this pool was made
    std::mutex busy;               // held by the caller whose batch the workers run
    std::mutex mutex; // guards everything below and the batch's done flags, reported and holders
    std::condition_variable wake;    // workers wait here for a batch
    std::condition_variable changed; // the caller waits here for tasks and workers
    std::vector<std::thread> threads;
    Batch* current = nullptr;
    int helpers = 0; // workers 0..helpers-1 take part in the current batch
    std::uint64_t generation = 0;
    bool stop = false;
};

Executor::Executor(int threads) : threads_(std::clamp(threads, 1, kMaxThreads)) {
    CountForks();
}

Executor::~Executor() {
    Pool* pool = pool_.load();
    // A pool made before a fork belongs to the parent: its workers are not in this process.
    if (pool != nullptr && pool->forksSeen == forks.load()) {
        delete pool;
    }
}

Executor& Executor::CallingThreadOnly() {
    static Executor& alone = *new Executor(1); // never destroyed, as ProgramExecutor
    return alone;
}

Executor::Pool& Executor::CurrentPool() {
    const std::uint64_t forkCount = forks.load();
    Pool* pool = pool_.load();
    if (pool != nullptr && pool->forksSeen == forkCount) {
        return *pool;
    }
    // None yet, or the parent's: a child leaves the parent's pool alone (its mutexes may have
    // been held by the parent's workers at the fork; it is never joined nor freed) and makes its
    // own.
    auto* fresh = new Pool(forkCount);
    if (pool_.compare_exchange_strong(pool, fresh)) {
        return *fresh;
    }
    delete fresh; // another thread made one meanwhile
    return *pool;
}

void Executor::RunInOrder(int count, CallRef<void(int)> task, CallRef<void(int)> finished) {
    Run(
        static_cast<std::size_t>(std::max(count, 0)),
        [&task](std::size_t i, int) { task(static_cast<int>(i)); },
        [&finished](std::size_t i) { finished(static_cast<int>(i)); }, false);
}

void Executor::Run(std::size_t count, Task task, Finished finished, bool hold, std::size_t ahead) {
    const auto alone = [&](std::size_t from) {
        for (std::size_t i = from; i < count; ++i) {
            task(i, 0);
            finished(i);
        }
    };
    if (threads_ <= 1 || count <= 1 || holding) {
        alone(0);
        return;
    }
    Pool& pool = CurrentPool();
    std::unique_lock busy(pool.busy, std::try_to_lock);
    if (!busy.owns_lock()) {
        alone(0); // another thread's call holds the workers
        return;
    }
    struct Holding {
        Holding() { holding = true; }
        ~Holding() { holding = false; }
    } held;
    for (std::size_t first = 0; first < count; first += kMaxTasks) {
        const int n = static_cast<int>(std::min<std::size_t>(kMaxTasks, count - first));
        Batch batch{.first = first,
                    .count = n,
                    .task = task,
                    .hold = hold,
                    .ahead = static_cast<int>(std::min<std::size_t>(ahead, kMaxTasks))};
        const int helpers = std::min(threads_, n) - 1;
        if (helpers <= 0 || !pool.Start(batch, helpers)) {
            alone(first);
            return;
        }
        pool.Run(batch, finished);
    }
}

Executor& ProgramExecutor() {
    static Executor& program = *new Executor(ThreadsFromEnvironment());
    return program;
}

} // namespace hrv
