// The analysis of a long recording by windows: five-minute fragments that start every STEP
// seconds, each analysed exactly as a file beginning at its first interval would be.
#pragma once

#include "analysis/fragment_data.h"
#include "files/fragment_load.h"
#include "util/executor.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// One window of a recording.
struct RecordingWindow {
    std::int64_t window = 0;     // its number: 0, 1, ...
    std::int64_t first = 0;      // position of its first interval in the recording, from 0
    std::int64_t startTicks = 0; // its start time: the sum of the intervals before it, ticks
};

// The windows of a recording of `words` (ticks * 256 + aux, in file order) every `stepSeconds`
// (at least 1): window w begins at the first interval whose start time is at or after
// w * stepSeconds s. They go on while the intervals after the window's first add up to the 300 s
// the analysis needs (30000 ticks, as Resample counts them), so the last window is the last whole
// fragment. A window whose first 2000 intervals hold less (a rate above 400 a minute) is listed
// all the same; AnalyseWindow rejects it. A step that ends inside the interval the previous window
// begins with (a step shorter than the intervals) gives no window: no two windows begin at the
// same interval, and each keeps the number of the step that reached its interval.
std::vector<RecordingWindow> RecordingWindows(std::span<const std::uint16_t> words,
                                              int stepSeconds);

// Reads the whole recording at `path` as `kind` into `words` (ReadRecording) and lists its
// windows every `stepSeconds` into `windows`. Returns "" when there is at least one, otherwise
// the message the program gives: the file is missing, cannot be imported, is too short for one
// window, or the file layer's error.
std::string ReadRecordingWindows(const std::string& path, FileKind kind, int stepSeconds,
                                 PpgWorkspace& w, std::vector<std::uint16_t>& words,
                                 std::vector<RecordingWindow>& windows);

// Fills `f` with the words from the window's first interval on as an RR file holding them would
// (RrWords and RrCount: at most 40,000 words; RrTicks, RrAux and AnalysisSeries: the first
// 2000), sets f.Correct = `correct` and analyses it on `executor` as an opened file is
// (AnalyseFragment). False when the analysis rejects the fragment: its first 2000 intervals hold
// less than 300 s.
bool AnalyseWindow(std::span<const std::uint16_t> words, const RecordingWindow& window,
                   CorrectionMode correct, FragmentData& f,
                   Executor& executor = Executor::CallingThreadOnly());

namespace detail {

// The windows of AnalyseWindows; with `hold` a thread's next window waits until take() has
// returned for its last, so a result may point into the thread's fragment.
template <class Result, class Make, class Take>
void RunWindows(std::span<const std::uint16_t> words, std::span<const RecordingWindow> windows,
                CorrectionMode correct, Executor& executor, bool hold, Make& make, Take& take) {
    executor.Map<Result>(
        windows.size(), hold, [] { return std::make_unique<FragmentData>(); },
        [&](std::unique_ptr<FragmentData>& f, std::size_t i) {
            // Several windows at once: each analysis runs on its one thread, its bins not
            // spread (a call from inside a task does not take the workers).
            const bool analysed = AnalyseWindow(words, windows[i], correct, *f, executor);
            return make(windows[i], static_cast<const FragmentData&>(*f), analysed);
        },
        [&](std::size_t i, Result&& r) { take(windows[i], std::move(r)); });
}

} // namespace detail

// Analyses each of `windows` (from RecordingWindows over `words`) on the threads of `executor`,
// each thread on a fragment of its own (about 5 MB); with several threads each analysis runs on
// its one thread. On the analysing thread, make(window, f, analysed) turns the window's fragment
// into a Result (f as AnalyseWindow left it, analysed its return); on the calling thread,
// take(window, Result&&) receives the results in window order, each as soon as it and all before
// it are done. An exception from make or take leaves here once the windows under way are
// finished; std::bad_alloc when a fragment cannot be made.
template <class Result, class Make, class Take>
void AnalyseWindows(std::span<const std::uint16_t> words, std::span<const RecordingWindow> windows,
                    CorrectionMode correct, Executor& executor, Make make, Take take) {
    detail::RunWindows<Result>(words, windows, correct, executor, false, make, take);
}

// The same handing over each window's fragment itself: take(window, f, analysed) runs on the
// calling thread in window order, and f stays as the analysis left it until take returns.
template <class Take>
void AnalyseWindows(std::span<const std::uint16_t> words, std::span<const RecordingWindow> windows,
                    CorrectionMode correct, Executor& executor, Take take) {
    struct Analysed {
        const FragmentData* f;
        bool analysed;
    };
    auto make = [](const RecordingWindow&, const FragmentData& f, bool analysed) {
        return Analysed{&f, analysed};
    };
    auto pass = [&take](const RecordingWindow& w, Analysed&& r) { take(w, *r.f, r.analysed); };
    detail::RunWindows<Analysed>(words, windows, correct, executor, true, make, pass);
}

} // namespace hrv
