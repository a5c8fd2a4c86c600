// Opening a stored fragment: check, load, analyse.
#include "presentation/open_fragment.h"

#include "analysis/pipeline.h"
#include "files/file_io.h"
#include "presentation/messages.h"

namespace hrv {

OpenStatus OpenFragment(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w,
                        Executor& executor, const OpenHooks& hooks) {
    if (!FileExists(path)) {
        return OpenStatus::NotFound;
    }
    if (hooks.found) {
        hooks.found();
    }
    if (LoadFragmentFile(path, kind, f, w) == LoadResult::ImportError) {
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
