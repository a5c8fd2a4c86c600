// Items worked on by several threads at once, their results taken in the items' order.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace hrv {

// Runs work(state, i) for every i in [0, count) on up to `threads` threads and hands each result
// to take(i, result) on the calling thread, in increasing i, as soon as it and every earlier one
// are ready. Each thread makes its State once, with makeState(), at its first item, and keeps it
// for all its items. With holdState a thread starts its next item only after take() returned for
// its last one, so a result may point into the thread's State. An exception from makeState() or
// work() is thrown from here when its item's turn comes, one from take() at once; either way the
// other threads finish the item they hold, take no more and are joined first. With one thread or
// one item everything runs on the calling thread and no thread is started.
template <class Result, class MakeState, class Work, class Take>
void OrderedMap(std::size_t count, unsigned threads, bool holdState, MakeState makeState, Work work,
                Take take) {
    using State = decltype(makeState());
    auto alone = [&] {
        std::optional<State> state;
        for (std::size_t i = 0; i < count; ++i) {
            if (!state) {
                state.emplace(makeState());
            }
            take(i, work(*state, i));
        }
    };
    if (threads <= 1 || count <= 1) {
        alone();
        return;
    }

    struct Slot {
        std::optional<Result> result;
        std::exception_ptr error;
        bool ready = false;
        bool taken = false;
    };
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::condition_variable takenChanged;
    std::size_t next = 0;
    bool stop = false;

    auto worker = [&] {
        std::optional<State> state;
        for (;;) {
            std::size_t i = 0;
            {
                const std::lock_guard lock(mutex);
                if (stop || next == count) {
                    return;
                }
                i = next++;
            }
            std::optional<Result> result;
            std::exception_ptr error;
            try {
                if (!state) {
                    state.emplace(makeState());
                }
                result.emplace(work(*state, i));
            } catch (...) {
                error = std::current_exception();
            }
            std::unique_lock lock(mutex);
            slots[i].result = std::move(result);
            slots[i].error = error;
            slots[i].ready = true;
            readyChanged.notify_all();
            if (holdState) {
                takenChanged.wait(lock, [&] { return slots[i].taken || stop; });
            }
        }
    };

    std::vector<std::thread> pool;
    // Stops and joins the threads on every way out of this function.
    struct Joiner {
        std::vector<std::thread>& pool;
        std::mutex& mutex;
        bool& stop;
        std::condition_variable& takenChanged;
        ~Joiner() {
            {
                const std::lock_guard lock(mutex);
                stop = true;
            }
            takenChanged.notify_all();
            for (std::thread& t : pool) {
                t.join();
            }
        }
    } joiner{pool, mutex, stop, takenChanged};

    const std::size_t wanted = std::min<std::size_t>(threads, count);
    pool.reserve(wanted);
    for (std::size_t t = 0; t < wanted; ++t) {
        try {
            pool.emplace_back(worker);
        } catch (const std::system_error&) {
            break; // the system gives no more threads: go on with those it gave
        }
    }
    if (pool.empty()) {
        alone(); // not even one: this thread does all the items
        return;
    }

    for (std::size_t i = 0; i < count; ++i) {
        std::optional<Result> result;
        {
            std::unique_lock lock(mutex);
            readyChanged.wait(lock, [&] { return slots[i].ready; });
            if (slots[i].error) {
                std::rethrow_exception(slots[i].error);
            }
            result = std::move(slots[i].result);
            slots[i].result.reset();
        }
        take(i, std::move(*result));
        if (holdState) {
            {
                const std::lock_guard lock(mutex);
                slots[i].taken = true;
            }
            takenChanged.notify_all();
        }
    }
}

} // namespace hrv
