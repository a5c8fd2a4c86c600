// Batch conversion of PPG files to the RR files beside them.
#include "presentation/batch_convert.h"

#include "files/file_io.h"
#include "files/fragment_load.h"
#include "files/paths.h"

namespace hrv {

int BatchConvert(const std::vector<std::string>& paths, FragmentData& f, PpgWorkspace& w,
                 const BatchHooks& hooks) {
    const int n = static_cast<int>(paths.size());
    for (int i = 0; i < n; ++i) {
        const std::string& path = paths[static_cast<std::size_t>(i)];
        try {
            if (ConvertPpgToRr(path, f, w) == ConvertResult::Written) {
                if (hooks.written) {
                    hooks.written(path, RrPathForPpg(path));
                }
            } else if (hooks.importError) {
                hooks.importError(path);
            }
        } catch (const FileIoError& e) {
            if (!hooks.ioError) {
                throw;
            }
            hooks.ioError(path, e.what());
        }
        if (hooks.done) {
            hooks.done(i);
        }
    }
    return n;
}

} // namespace hrv
