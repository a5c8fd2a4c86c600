// rvx-cli beats: a recording's beats as CSV, one beat a line, for researchers' own tools.
#include "cli/commands.h"
#include "cli/options.h"
#include "files/ecg_record.h"
#include "files/file_io.h"
#include "service/file_analysis.h"
#include "util/executor.h"

#include <charconv>
#include <ostream>

namespace hrv::cli {

int Beats(const Args& args, std::ostream& out, std::ostream& err) {
    std::optional<FileKind> kind;
    RecordChoice choice;
    std::vector<std::string> files;
    OptionParser parser("rvx-cli beats", err);
    parser.Value("--type", "rr, ppg, txt, wfdb or edf", TypeOption(kind))
        .Value("--beats", "detect or annotations", BeatsOption(choice.beats))
        .Text("--channel", "a channel's name or number", choice.channel);
    if (!parser.Parse(args, files) || files.size() != 1) {
        if (files.size() != 1) {
            err << "rvx-cli beats: give exactly one file\n";
        }
        Usage(err);
        return kExitUsage;
    }
    const std::string& path = files.front();
    SignalRecording r;
    try {
        r = ReadBeatsOfFile(path, kind.value_or(KindFromExtension(path)), choice,
                            ProgramExecutor());
    } catch (const FileIoError& e) {
        err << "rvx-cli beats: " << e.what() << "\n";
        return kExitFailed;
    }
    std::string text = "time_s,sample,kind,source\n";
    char number[64];
    for (const Beat& b : r.beats) {
        // Seconds to the microsecond: finer than a sample at any rate up to 2000 Hz.
        auto end = std::to_chars(number, number + sizeof number, r.BeatSeconds(b),
                                 std::chars_format::fixed, 6)
                       .ptr;
        text.append(number, end).push_back(',');
        end = std::to_chars(number, number + sizeof number, b.sample).ptr;
        text.append(number, end).push_back(',');
        text.append(BeatKindName(b.kind)).push_back(',');
        text.append(BeatSourceName(b.source)).push_back('\n');
    }
    out << text;
    return OutputWritten(out, err) ? kExitOk : kExitFailed;
}

} // namespace hrv::cli
