// Opening a stored fragment: check, load, analyse.
#include "presentation/open_fragment.h"

#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "files/file_io.h"
#include "files/recording.h"
#include "presentation/clock_text.h"
#include "presentation/messages.h"

#include <algorithm>
#include <span>

namespace hrv {

OpenStatus OpenFragment(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w,
                        Executor& executor, const OpenHooks& hooks) {
    if (!FileExists(path)) {
        return OpenStatus::NotFound;
    }
    if (hooks.found) {
        hooks.found();
    }
    if (LoadFragmentFile(path, kind, f, w, executor) == LoadResult::ImportError) {
        return OpenStatus::ImportError;
    }
    return AnalyseFragment(f, executor, hooks.progress, hooks.accepted) ? OpenStatus::Analysed
                                                                        : OpenStatus::TooLittleData;
}

void ForgetIntervals(FragmentData& f) {
    f.RrCount = 0;
    f.RrTicks.fill(0);
    f.RrAux.fill(0);
    f.RrWords.fill(0);
    f.AnalysisSeries.fill(0);
    f.Corrected = false;
    f.CorrectionNote.clear();
}

std::string AnalysedPartNote(const FragmentData& f) {
    const int held = std::clamp(f.RrCount, 0, kWordCapacity);
    const std::int64_t ticks =
        RecordingTicks(std::span(f.RrWords.data() + 1, static_cast<std::size_t>(held)));
    if (ticks <= 2 * std::int64_t{kRequiredTicks}) {
        return std::string();
    }
    return msg::AnalysedFirstPart(DurationText(ticks), held == kWordCapacity);
}

std::string OpenStatusText(OpenStatus status, const std::string& path) {
    switch (status) {
    case OpenStatus::NotFound:
        return msg::FileNotFound(path);
    case OpenStatus::ImportError:
        return std::string(msg::kImportError);
    case OpenStatus::TooLittleData:
        return std::string(msg::kTooLittleData);
    case OpenStatus::Analysed:
        break;
    }
    return {};
}

} // namespace hrv
