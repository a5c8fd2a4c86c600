// rvx-cli: the command-line analyser of stored fragments.
#include "cli/commands.h"
#include "util/executor.h"
#include "util/utf16.h"

#include <exception>
#include <iostream>

#ifdef _WIN32
#include <cwchar>
#include <string>
#include <utility>
#include <windows.h>
#endif

namespace {

int Main(const hrv::cli::Args& args) {
    std::ios::sync_with_stdio(false);
    try {
        // The analyses' threads: RVX_THREADS, otherwise one per processor.
        return hrv::cli::Run(args, hrv::ProgramExecutor(), std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "rvx-cli: " << e.what() << "\n";
        return hrv::cli::kExitFailed;
    }
}

} // namespace

#ifdef _WIN32
// Windows hands the arguments over in UTF-16 (wmain, linked with -municode): they are taken whole
// as UTF-8, the encoding of every path in the program, whatever the system's ANSI code page; a
// name in Cyrillic or in any other script reaches the file layer intact. The console shows the
// UTF-8 output as such while the program runs.
int wmain(int argc, wchar_t** argv) {
    hrv::cli::Args args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(hrv::Utf8(argv[i]));
    }
    const UINT consolePage = ::GetConsoleOutputCP(); // 0 without a console
    if (consolePage != 0) {
        ::SetConsoleOutputCP(CP_UTF8);
    }
    const int status = Main(args);
    if (consolePage != 0) {
        std::cout.flush();
        std::cerr.flush();
        ::SetConsoleOutputCP(consolePage);
    }
    return status;
}
#else
int main(int argc, char** argv) {
    return Main(hrv::cli::Args(argv + 1, argv + argc));
}
#endif
