// A few worker threads shared by the analysis: made on first use, reused by every analysis, joined
// at exit. Handing them work allocates nothing.
#pragma once

#include <type_traits>

namespace hrv {

// Threads an analysis uses, the calling one included: the last SetAnalysisThreads value when it
// is positive, otherwise RVX_THREADS from the environment (1..64), otherwise the logical
// processors the process may run on.
int AnalysisThreads();

// Fixes the number of threads (1..64) from now on; 0 returns to the default. Results never depend
// on it: each task is run by exactly one thread, in the same way.
void SetAnalysisThreads(int count);

// While it lives, every analysis on the thread that made it runs all its tasks on that thread,
// whatever AnalysisThreads() says: for several analyses side by side, each on a thread of its
// own. Other threads are not affected; results never depend on it.
class AnalysisOnThisThreadOnly {
public:
    AnalysisOnThisThreadOnly();
    ~AnalysisOnThisThreadOnly();
    AnalysisOnThisThreadOnly(const AnalysisOnThisThreadOnly&) = delete;
    AnalysisOnThisThreadOnly& operator=(const AnalysisOnThisThreadOnly&) = delete;

private:
    bool previous_;
};

// A non-owning reference to a callable taking a task index; the callable must outlive the call.
class TaskRef {
public:
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, TaskRef>)
        TaskRef(F&& f) // NOLINT: converts implicitly, like std::function
        : object_(const_cast<void*>(static_cast<const void*>(&f))),
          call_([](void* o, int i) { (*static_cast<std::remove_reference_t<F>*>(o))(i); }) {}

    void operator()(int i) const { call_(object_, i); }

private:
    void* object_;
    void (*call_)(void*, int);
};

// Runs task(i) once for every i in 0..count-1 on the calling thread and up to
// AnalysisThreads() - 1 workers, tasks taken in increasing order. Calls finished(i) on the calling
// thread for i = 0, 1, 2, ... in order, each as soon as tasks 0..i are all done. When the workers
// are busy with another caller's tasks, the calling thread runs all of its tasks itself. If
// finished throws, the tasks already started are completed before the exception leaves.
void RunTasksInOrder(int count, TaskRef task, TaskRef finished);

} // namespace hrv
