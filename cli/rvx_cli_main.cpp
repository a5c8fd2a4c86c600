// rvx-cli: the command-line analyser of stored fragments.
#include "cli/commands.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const hrv::cli::Args args(argv + 1, argv + argc);
    try {
        return hrv::cli::Run(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "rvx-cli: " << e.what() << "\n";
        return hrv::cli::kExitFailed;
    }
}
