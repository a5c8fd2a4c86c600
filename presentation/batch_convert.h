// Batch conversion of PPG files to the RR files beside them, without the dialogs around it.
#pragma once

#include "analysis/fragment_data.h"
#include "files/ppg_decoder.h"

#include <functional>
#include <string>
#include <vector>

namespace hrv {

struct BatchHooks {
    // A file the decoder rejected, or whose RR file would be the file itself: nothing written.
    std::function<void(const std::string& path)> importError;
    // File `index` (from 0, in the order given) is done, written or rejected.
    std::function<void(int index)> done;
    // The RR file `rrPath` was written for `path`; the fragment holds its intervals.
    std::function<void(const std::string& path, const std::string& rrPath)> written;
    // A failure of the file layer at `path`. When given, the batch reports it here and goes on
    // with the next file; otherwise the FileIoError ends the batch.
    std::function<void(const std::string& path, const std::string& error)> ioError;
};

// Converts the files one after the other with ConvertPpgToRr; the fragment ends up holding the
// intervals of the last file written. Returns the number of files given. A FileIoError ends the
// batch at that file unless `ioError` takes it: the RR files written before it stay.
int BatchConvert(const std::vector<std::string>& paths, FragmentData& f, PpgWorkspace& w,
                 const BatchHooks& hooks);

} // namespace hrv
