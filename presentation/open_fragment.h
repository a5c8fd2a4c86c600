// Opening a stored fragment as the Open command does: the file checked, loaded as its kind and
// analysed. The window, rvx-cli analyze and rvx-print all take this one road.
#pragma once

#include "analysis/fragment_data.h"
#include "analysis/spectrum.h"
#include "files/fragment_load.h"

#include <functional>
#include <string>

namespace hrv {

enum class OpenStatus { Analysed, NotFound, ImportError, TooLittleData };

struct OpenHooks {
    // The file exists and is about to be loaded (the window names it on screen now).
    std::function<void()> found;
    // As AnalyseFragment's: once resampling has accepted the fragment, and after each bin.
    std::function<void()> accepted;
    ProgressFn progress;
};

// Checks that `path` is a file, loads it into `f` as `kind` and analyses it on `executor`, running
// the hooks on the way. A file that is rejected or too short leaves the results of the previous
// analysis in `f`. FileIoError when the file layer fails.
OpenStatus OpenFragment(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w,
                        Executor& executor = Executor::CallingThreadOnly(),
                        const OpenHooks& hooks = {});

// After an Open that failed before the new file's intervals were taken (a rejected file, a read
// error): the fragment holds no intervals, so nothing of the previous file can be saved, printed
// or tabled under the new file's name. The settings and the file's name stay.
void ForgetIntervals(FragmentData& f);

// After an analysed Open: for a recording longer than two fragments, how much of it was
// analysed ("проанализированы первые 300 с из 1:00:00", AnalysedFirstPart; "более чем" when its
// intervals fill RrWords); otherwise empty.
std::string AnalysedPartNote(const FragmentData& f);

// The message the user is shown for a status other than Analysed.
std::string OpenStatusText(OpenStatus status, const std::string& path);

} // namespace hrv
