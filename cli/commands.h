// The subcommands of rvx-cli. Each takes the words after its name and returns the exit status.
#pragma once

#include "cli/json_writer.h"
#include "files/record_choice.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hrv {
struct FragmentData;
struct PpgWorkspace;
enum class FileKind;
enum class CorrectionMode : std::uint8_t;
class Executor;
} // namespace hrv

namespace hrv::cli {

using Args = std::vector<std::string>;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // some file failed
inline constexpr int kExitUsage = 2;  // the words were not understood

// Analyze and Record run their analyses on `executor`.
int Analyze(const Args& args, Executor& executor, std::ostream& out, std::ostream& err);
int Beats(const Args& args, std::ostream& out, std::ostream& err);
int Convert(const Args& args, std::ostream& out, std::ostream& err);
int Print(const Args& args, std::ostream& out, std::ostream& err);
int Record(const Args& args, Executor& executor, std::ostream& out, std::ostream& err);

// One analysed fragment as the JSON line `analyze` prints (`record` prints the same).
// With `nonlinear` the seven nonlinear indices follow LFHF (null where undefined). An ECG record's
// line says after "ok" where its beats came from ("beats") and their channel ("channel").
std::string ResultLine(const std::string& path, FileKind kind, const FragmentData& f, bool spectrum,
                       bool nonlinear = false, const RecordChoice& record = {});

// The value of "--beats": detect or annotations into `beats`; false for another word.
std::function<bool(const std::string&)> BeatsOption(BeatChoice& beats);

// For an ECG record (kind Wfdb or Edf): "beats" ("detected" or "annotations") and "channel" as
// `record` says they were taken; nothing for another kind.
void RecordFields(JsonObject& j, FileKind kind, const RecordChoice& record);

// The value of "--type": rr, ppg or txt into `kind` (for OptionParser::Value); false for another
// word.
std::function<bool(const std::string&)> TypeOption(std::optional<FileKind>& kind);

// Flushes `out`; false, with a message on `err`, when it cannot be written (a full disk, a closed
// pipe): the command must then end with a failure.
bool OutputWritten(std::ostream& out, std::ostream& err);

// The value of "--correct": none or auto into `mode`; false for another word.
std::function<bool(const std::string&)> CorrectOption(CorrectionMode& mode);

// Seconds between windows at most (11 days).
inline constexpr int kLongestStep = 1000000;

// The value of "--windows": a whole number of seconds from 1 to kLongestStep into `step`; false
// for another word.
std::function<bool(const std::string&)> StepOption(std::optional<int>& step);

// Prints the usage text.
void Usage(std::ostream& os);

// Runs a whole command line (argv without the program name), its analyses on `executor`.
int Run(const Args& args, Executor& executor, std::ostream& out, std::ostream& err);

// The same on the program's executor (ProgramExecutor()).
int Run(const Args& args, std::ostream& out, std::ostream& err);

} // namespace hrv::cli
