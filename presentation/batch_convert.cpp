// Batch conversion of PPG files to the RR files beside them.
#include "presentation/batch_convert.h"

#include "files/fragment_load.h"

namespace hrv {

int BatchConvert(const std::vector<std::string>& paths, FragmentData& f, PpgWorkspace& w,
                 const BatchHooks& hooks) {
    const int n = static_cast<int>(paths.size());
    for (int i = 0; i < n; ++i) {
        const std::string& path = paths[static_cast<std::size_t>(i)];
        if (ConvertPpgToRr(path, f, w) != ConvertResult::Written && hooks.importError) {
            hooks.importError(path);
        }
        if (hooks.done) {
            hooks.done(i);
        }
    }
    return n;
}

} // namespace hrv
