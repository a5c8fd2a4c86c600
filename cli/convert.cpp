// rvx-cli convert: PPG files to RR files beside them, without dialogs.
#include "cli/commands.h"
#include "cli/options.h"
#include "presentation/batch_convert.h"
#include "presentation/messages.h"

#include <memory>
#include <ostream>

namespace hrv::cli {

int Convert(const Args& args, std::ostream& out, std::ostream& err) {
    // No options of its own: "--" ends them, and any other word beginning with "-" is a usage
    // error rather than a file name.
    std::vector<std::string> files;
    if (!OptionParser("rvx-cli convert", err).Parse(args, files)) {
        Usage(err);
        return kExitUsage;
    }
    if (files.empty()) {
        err << "rvx-cli convert: no file given\n";
        Usage(err);
        return kExitUsage;
    }
    auto f = std::make_unique<FragmentData>();
    auto workspace = std::make_unique<PpgWorkspace>();
    bool anyFailed = false;
    // The window's batch loop; every file is reported, and a failure does not end the run.
    BatchHooks hooks;
    hooks.written = [&](const std::string& path, const std::string& rrPath) {
        out << path << " -> " << rrPath << ": интервалов " << f->RrCount << '\n';
    };
    hooks.importError = [&](const std::string& path) {
        anyFailed = true;
        out << path << ": " << msg::kImportError << '\n';
    };
    hooks.ioError = [&](const std::string& path, const std::string& error) {
        anyFailed = true;
        out << path << ": " << error << '\n';
    };
    // Output that cannot be written ends the run: nobody would learn what was converted.
    struct OutputLost {};
    hooks.done = [&](int) {
        if (!OutputWritten(out, err)) {
            throw OutputLost{};
        }
    };
    try {
        BatchConvert(files, *f, *workspace, hooks);
    } catch (const OutputLost&) {
        return kExitFailed;
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace hrv::cli
