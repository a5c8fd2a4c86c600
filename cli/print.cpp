// rvx-cli print: the one-page report of a fragment as a PDF file. The drawing needs the window
// libraries, which rvx-cli does not link, so the page is made by the helper program beside it,
// with the same report code as the window's "Печать" button.
#include "cli/options.h"
#include "cli/print_args.h"

#include <ostream>
#include <vector>

#ifdef _WIN32
#include "util/utf16.h"

#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace hrv::cli {

std::optional<PrintOptions> ParsePrint(const Args& args, std::ostream& err) {
    PrintOptions o;
    std::vector<std::string> files;
    OptionParser parser("rvx-cli print", err);
    parser.Text("--pdf", "the path of the PDF file", o.pdf)
        .Value("--type", "rr, ppg, txt, wfdb or edf", TypeOption(o.kind))
        .Value("--correct", "none or auto", CorrectOption(o.correct))
        .Value("--windows", "a whole number of seconds from 1 to 1000000", StepOption(o.windows))
        .Flag("--nonlinear", o.nonlinear)
        .Value("--beats", "detect or annotations", BeatsOption(o.record.beats))
        .Text("--channel", "a channel's name or number", o.record.channel);
    AddStandardOptions(parser, o.standard);
    if (!parser.Parse(args, files)) {
        return std::nullopt;
    }
    if (o.standard.on && o.windows) {
        err << "rvx-cli print: --method standard prints its block on the one-page report: not "
               "with --windows\n";
        return std::nullopt;
    }
    if (const std::string problem = CheckStandard(o.standard); !problem.empty()) {
        err << "rvx-cli print: " << problem << "\n";
        return std::nullopt;
    }
    if (o.pdf.empty()) {
        err << "rvx-cli print: --pdf OUT.pdf is required\n";
        return std::nullopt;
    }
    if (o.nonlinear && !o.windows) {
        err << "rvx-cli print: --nonlinear draws DFA alpha1 on the trend report: give --windows "
               "STEP\n";
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

#ifdef _WIN32

constexpr const char* kProgramSuffix = ".exe";

// The folder of the running program.
std::string OwnDirectory() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2); // the path was cut
    }
    const auto slash = buf.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Utf8(buf.substr(0, slash));
}

bool IsProgram(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Utf16(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// One word of a command line as the C runtime of the started program splits it again.
std::wstring Quoted(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return word;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped; others stand as they are.
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\'); // before the closing quote
    return out + L"\"";
}

// Runs the program with the words and waits for it: its exit status, or -1 (reported on err)
// when it cannot be started.
int RunProgram(const std::string& program, const Args& args, std::ostream& err) {
    std::wstring commandLine = Quoted(Utf16(program));
    for (const std::string& a : args) {
        commandLine += L" " + Quoted(Utf16(a));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(Utf16(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process)) {
        err << "rvx-cli print: cannot run " << program << " (Windows error " << ::GetLastError()
            << ")\n";
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    const bool ok = ::GetExitCodeProcess(process.hProcess, &status) != 0;
    ::CloseHandle(process.hProcess);
    return ok ? static_cast<int>(status) : -1;
}

#else

constexpr const char* kProgramSuffix = "";

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

bool IsProgram(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

// Runs the program with the words and waits for it: its exit status, or -1 (reported on err)
// when it cannot be started or waited for.
int RunProgram(const std::string& program, const Args& args, std::ostream& err) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        err << "rvx-cli print: cannot run " << program << " (" << std::strerror(rc) << ")\n";
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            err << "rvx-cli print: " << std::strerror(errno) << "\n";
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

} // namespace

int Print(const Args& args, std::ostream& out, std::ostream& err) {
    if (!ParsePrint(args, err)) {
        Usage(err);
        return kExitUsage;
    }
    const std::string helper = OwnDirectory() + "/" + kPrintHelperName + kProgramSuffix;
    if (!IsProgram(helper)) {
        err << "rvx-cli print: " << helper
            << " is missing: this build has no printing (it was built without Qt)\n";
        return kExitFailed;
    }
    out.flush();
    err.flush();
    const int status = RunProgram(helper, args, err);
    return status < 0 ? kExitFailed : status;
}

} // namespace hrv::cli
