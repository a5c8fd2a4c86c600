// A few worker threads shared by the analysis.
#include "analysis/work_pool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif
#if !defined(_WIN32)
#include <pthread.h>
#endif

namespace hrv {

namespace {

constexpr int kMaxThreads = 64;
constexpr int kMaxTasks = 256; // tasks handed to the workers in one batch

std::atomic<int> requestedThreads{0};
thread_local bool thisThreadOnly = false; // see AnalysisOnThisThreadOnly

int DefaultThreads() {
    if (const char* env = std::getenv("RVX_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && n >= 1) {
            return static_cast<int>(std::min<long>(n, kMaxThreads));
        }
    }
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

// One batch of tasks. Lives on the caller's stack; before leaving, the caller withdraws it from
// workers that have not taken it up yet and waits for those that have to let go of it.
struct Batch {
    int first = 0; // index of task 0 of the batch
    int count = 0;
    TaskRef task;
    std::atomic<int> next{0};           // next task to take
    std::array<bool, kMaxTasks> done{}; // guarded by the pool's mutex
    int holders = 0;                    // workers holding the batch; guarded likewise
};

class Pool {
public:
    ~Pool() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : threads_) {
            t.join();
        }
    }

    // Runs a batch with `helpers` workers, or alone when another caller holds the pool (or this
    // one does, from a `finished` that starts tasks of its own).
    void Run(int first, int count, int helpers, TaskRef task, TaskRef finished) {
        thread_local bool holding = false;
        std::unique_lock busy(busy_, std::defer_lock);
        if (!holding && helpers > 0) {
            busy.try_lock();
        }
        Batch batch{.first = first, .count = count, .task = task};
        if (!busy.owns_lock() || !Start(batch, helpers)) {
            for (int i = 0; i < count; ++i) {
                task(first + i);
                finished(first + i);
            }
            return;
        }
        // However this call ends, the workers let go of the batch before it goes away. A worker
        // woken too late (a busy machine) no longer takes it up.
        struct Release {
            Pool& pool;
            Batch& batch;
            ~Release() {
                std::unique_lock lock(pool.mutex_);
                pool.batch_ = nullptr;
                pool.changed_.wait(lock, [this] { return batch.holders == 0; });
            }
        } release{*this, batch};
        struct Holding {
            Holding() { holding = true; }
            ~Holding() { holding = false; }
        } held;

        int reported = 0; // tasks whose `finished` has been called
        const auto report = [&](bool wait) {
            std::unique_lock lock(mutex_);
            if (wait) {
                changed_.wait(lock, [&] { return batch.done[static_cast<std::size_t>(reported)]; });
            }
            int ready = reported;
            while (ready < count && batch.done[static_cast<std::size_t>(ready)]) {
                ++ready;
            }
            lock.unlock();
            for (; reported < ready; ++reported) {
                finished(first + reported);
            }
        };
        for (int i; (i = batch.next.fetch_add(1)) < count;) {
            task(first + i);
            MarkDone(batch, i);
            report(false);
        }
        while (reported < count) {
            report(true);
        }
    }

private:
    // Hands the batch to workers 0..helpers-1, making those that do not exist yet; false when
    // not even one could be made.
    bool Start(Batch& batch, int helpers) {
        const std::lock_guard lock(mutex_);
        try {
            while (static_cast<int>(threads_.size()) < helpers) {
                threads_.emplace_back(
                    [this, index = static_cast<int>(threads_.size())] { Work(index); });
            }
        } catch (const std::system_error&) {
            helpers = static_cast<int>(threads_.size()); // the system refused more threads
            if (helpers == 0) {
                return false;
            }
        }
        helpers_ = helpers;
        batch_ = &batch;
        ++generation_;
        wake_.notify_all();
        return true;
    }

    void MarkDone(Batch& batch, int i) {
        {
            const std::lock_guard lock(mutex_);
            batch.done[static_cast<std::size_t>(i)] = true;
        }
        changed_.notify_all();
    }

    void Work(int index) {
        std::uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] {
                return stop_ || (batch_ != nullptr && generation_ != seen && index < helpers_);
            });
            if (stop_) {
                return;
            }
            seen = generation_;
            Batch& batch = *batch_;
            ++batch.holders;
            lock.unlock();
            for (int i; (i = batch.next.fetch_add(1)) < batch.count;) {
                batch.task(batch.first + i);
                MarkDone(batch, i);
            }
            lock.lock();
            --batch.holders;
            changed_.notify_all();
        }
    }

    std::mutex busy_;              // held by the caller whose batch the workers run
    std::mutex mutex_;             // guards everything below and the batch's done flags and holders
    std::condition_variable wake_; // workers wait here for a batch
    std::condition_variable changed_; // the caller waits here for tasks and workers
    std::vector<std::thread> threads_;
    Batch* batch_ = nullptr;
    int helpers_ = 0; // workers 0..helpers_-1 take part in the current batch
    std::uint64_t generation_ = 0;
    bool stop_ = false;
};

// The pool of this process. A child made by fork() has none of the parent's workers, and the
// pool's mutexes may have been held by them at the fork: the child leaves that pool alone (never
// joined nor freed) and starts a pool of its own, whose workers it makes when it needs them.
struct CurrentPool {
    Pool* pool = new Pool;
    CurrentPool() {
#if !defined(_WIN32)
        pthread_atfork(nullptr, nullptr, [] { ThePoolHolder().pool = new Pool; });
#endif
    }
    ~CurrentPool() {
        delete pool;
    }
    static CurrentPool& ThePoolHolder() {
        static CurrentPool current;
        return current;
    }
};

Pool& ThePool() {
    return *CurrentPool::ThePoolHolder().pool;
}

} // namespace

int AnalysisThreads() {
    const int n = requestedThreads.load();
    if (n > 0) {
        return n;
    }
    static const int fallback = DefaultThreads();
    return fallback;
}

void SetAnalysisThreads(int count) {
    requestedThreads.store(std::clamp(count, 0, kMaxThreads));
}

void RunTasksInOrder(int count, TaskRef task, TaskRef finished) {
    for (int first = 0; first < count; first += kMaxTasks) {
        const int n = std::min(kMaxTasks, count - first);
        const int helpers = thisThreadOnly ? 0 : std::min(AnalysisThreads(), n) - 1;
        ThePool().Run(first, n, helpers, task, finished);
    }
}

AnalysisOnThisThreadOnly::AnalysisOnThisThreadOnly() : previous_(thisThreadOnly) {
    thisThreadOnly = true;
}

AnalysisOnThisThreadOnly::~AnalysisOnThisThreadOnly() {
    thisThreadOnly = previous_;
}

} // namespace hrv
