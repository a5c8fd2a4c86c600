// rvx-cli convert: PPG files to RR files beside them, without dialogs.
#include "cli/commands.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "files/paths.h"
#include "presentation/messages.h"

#include <memory>
#include <ostream>

namespace hrv::cli {

int Convert(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "rvx-cli convert: no file given\n";
        Usage(err);
        return kExitUsage;
    }
    auto f = std::make_unique<FragmentData>();
    auto workspace = std::make_unique<PpgWorkspace>();
    bool anyFailed = false;
    for (const std::string& path : args) {
        try {
            switch (ConvertPpgToRr(path, *f, *workspace)) {
            case ConvertResult::Written:
                out << path << " -> " << RrPathForPpg(path) << ": интервалов " << f->RrCount
                    << '\n';
                break;
            case ConvertResult::ImportError:
            case ConvertResult::SamePath:
                anyFailed = true;
                out << path << ": " << msg::kImportError << '\n';
                break;
            }
        } catch (const FileIoError& e) {
            anyFailed = true;
            out << path << ": " << e.what() << '\n';
        }
        if (!OutputWritten(out, err)) {
            return kExitFailed;
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace hrv::cli
