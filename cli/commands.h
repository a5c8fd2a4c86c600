// The subcommands of rvx-cli. Each takes the words after its name and returns the exit status.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hrv {
struct FragmentData;
struct PpgWorkspace;
enum class FileKind;
} // namespace hrv

namespace hrv::cli {

using Args = std::vector<std::string>;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // some file failed
inline constexpr int kExitUsage = 2;  // the words were not understood

int Analyze(const Args& args, std::ostream& out, std::ostream& err);
int Convert(const Args& args, std::ostream& out, std::ostream& err);
int Print(const Args& args, std::ostream& out, std::ostream& err);
int Record(const Args& args, std::ostream& out, std::ostream& err);

// One analysed fragment as the JSON line `analyze` prints (`record` prints the same).
std::string ResultLine(const std::string& path, FileKind kind, const FragmentData& f,
                       bool spectrum);

// Loads the file as `kind` into `f` and analyses it. Returns "" on success, otherwise the message
// the window would show ("Файл ... не найден", the import error, too little data, or the file
// layer's error).
std::string AnalyseFile(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w);

// At "--type" (args[i]): takes its value rr, ppg or txt into `kind` and advances i past it;
// false, with a message for `command` on err, when the value is missing or another word.
bool TakeTypeOption(const Args& args, std::size_t& i, std::optional<FileKind>& kind,
                    std::string_view command, std::ostream& err);

// The word of a file kind in --type and in the JSON "type": rr, ppg or txt.
std::string_view TypeName(FileKind kind);

// Prints the usage text.
void Usage(std::ostream& os);

// Runs a whole command line (argv without the program name).
int Run(const Args& args, std::ostream& out, std::ostream& err);

} // namespace hrv::cli
