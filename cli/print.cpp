// rvx-cli print: the one-page report of a fragment as a PDF file. The drawing needs the window
// libraries, which rvx-cli does not link, so the page is made by the helper program beside it,
// with the same report code as the window's "Печать" button.
#include "cli/options.h"
#include "cli/print_args.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace hrv::cli {

std::optional<PrintOptions> ParsePrint(const Args& args, std::ostream& err) {
    PrintOptions o;
    std::vector<std::string> files;
    OptionParser parser("rvx-cli print", err);
    parser.Text("--pdf", "the path of the PDF file", o.pdf)
        .Value("--type", "rr or ppg", TypeOption(o.kind));
    if (!parser.Parse(args, files)) {
        return std::nullopt;
    }
    if (o.pdf.empty()) {
        err << "rvx-cli print: --pdf OUT.pdf is required\n";
        return std::nullopt;
    }
    if (files.size() != 1) {
        err << "rvx-cli print: give exactly one file\n";
        return std::nullopt;
    }
    o.file = files.front();
    return o;
}

namespace {

// The folder of the running program, from the link the kernel keeps for it.
std::string OwnDirectory() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) {
        return std::string();
    }
    const std::string exe(buf.data(), static_cast<std::size_t>(n));
    const auto slash = exe.find_last_of('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

} // namespace

int Print(const Args& args, std::ostream& out, std::ostream& err) {
    if (!ParsePrint(args, err)) {
        Usage(err);
        return kExitUsage;
    }
    const std::string helper = OwnDirectory() + "/" + kPrintHelperName;
    if (::access(helper.c_str(), X_OK) != 0) {
        err << "rvx-cli print: " << helper
            << " is missing: this build has no printing (it was built without Qt)\n";
        return kExitFailed;
    }
    std::vector<std::string> words{helper};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    out.flush();
    err.flush();
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, helper.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        err << "rvx-cli print: cannot run " << helper << " (" << std::strerror(rc) << ")\n";
        return kExitFailed;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            err << "rvx-cli print: " << std::strerror(errno) << "\n";
            return kExitFailed;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : kExitFailed;
}

} // namespace hrv::cli
