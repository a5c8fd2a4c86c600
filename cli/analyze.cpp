// rvx-cli analyze: the analysis of stored fragments as JSON Lines.
#include "analysis/nonlinear.h"
#include "analysis/resampling.h"
#include "analysis/ticks.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/options.h"
#include "cli/standard_option.h"
#include "cli/table_output.h"
#include "cli/text_output.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "presentation/clock_text.h"
#include "presentation/messages.h"
#include "presentation/summary_table.h"
#include "service/file_analysis.h"
#include "service/recording_windows.h"
#include "service/result_fields.h"
#include "service/row_identity.h"
#include "service/standard_analysis.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>

namespace hrv::cli {

namespace {

struct AnalyzeOptions {
    std::optional<FileKind> kind; // --type; otherwise by extension
    bool spectrum = false;
    bool nonlinear = false; // --nonlinear: SD1, SD2, SampEn, DFA and SI as well
    CorrectionMode correct = CorrectionMode::None;
    bool text = false;                // --format text: the panels' lines instead of JSON
    std::optional<std::string> table; // --table: the summary table the rows go to
    std::optional<int> windows;       // --windows STEP: the whole recording, a window every STEP s
    StandardChoice standard;          // --method standard and its options
    RecordChoice record;              // --beats, --channel: an ECG record's beats
    std::vector<std::string> files;
};

std::optional<AnalyzeOptions> ParseAnalyze(const Args& args, std::ostream& err) {
    AnalyzeOptions o;
    OptionParser parser("rvx-cli analyze", err);
    parser.Flag("--spectrum", o.spectrum)
        .Flag("--nonlinear", o.nonlinear)
        .Value("--type", "rr, ppg or txt", TypeOption(o.kind))
        .Value("--format", "json or text",
               [&o](const std::string& v) {
                   o.text = v == "text";
                   return v == "json" || v == "text";
               })
        .Value("--correct", "none or auto", CorrectOption(o.correct))
        .Value("--windows", "a whole number of seconds from 1 to 1000000", StepOption(o.windows))
        .Value("--beats", "detect or annotations", BeatsOption(o.record.beats))
        .Text("--channel", "a channel's name or number", o.record.channel)
        .Text("--table", "the path of the table", o.table);
    AddStandardOptions(parser, o.standard);
    if (!parser.Parse(args, o.files)) {
        return std::nullopt;
    }
    if (const std::string problem = CheckStandard(o.standard); !problem.empty()) {
        err << "rvx-cli analyze: " << problem << "\n";
        return std::nullopt;
    }
    if (o.files.empty()) {
        err << "rvx-cli analyze: no file given\n";
        return std::nullopt;
    }
    return o;
}

} // namespace

std::function<bool(const std::string&)> TypeOption(std::optional<FileKind>& kind) {
    return [&kind](const std::string& value) {
        for (const FileKind k :
             {FileKind::Rr, FileKind::Ppg, FileKind::Txt, FileKind::Wfdb, FileKind::Edf}) {
            if (value == TypeName(k)) {
                kind = k;
                return true;
            }
        }
        return false;
    };
}

std::function<bool(const std::string&)> BeatsOption(BeatChoice& beats) {
    return [&beats](const std::string& value) {
        beats = value == "annotations" ? BeatChoice::Annotations : BeatChoice::Detect;
        return value == "annotations" || value == "detect";
    };
}

void RecordFields(JsonObject& j, FileKind kind, const RecordChoice& record) {
    if (kind == FileKind::Wfdb || kind == FileKind::Edf) {
        j.Str("beats", record.annotationsTaken ? "annotations" : "detected")
            .Str("channel", record.channelTaken);
    }
}

std::function<bool(const std::string&)> CorrectOption(CorrectionMode& mode) {
    return [&mode](const std::string& value) {
        mode = value == "auto" ? CorrectionMode::Auto : CorrectionMode::None;
        return value == "auto" || value == "none";
    };
}

std::function<bool(const std::string&)> StepOption(std::optional<int>& step) {
    return [&step](const std::string& value) {
        int seconds = 0;
        const char* end = value.data() + value.size();
        const auto r = std::from_chars(value.data(), end, seconds);
        if (r.ec != std::errc() || r.ptr != end || seconds < 1 || seconds > kLongestStep) {
            return false;
        }
        step = seconds;
        return true;
    };
}

namespace {

// Writes each result field into a JSON object.
struct JsonFields {
    JsonObject& json;
    void operator()(std::string_view name, std::int64_t v) { json.Int(name, v); }
    void operator()(std::string_view name, double v) { json.Real(name, v); }
    void operator()(std::string_view name, const std::optional<double>& v) { json.Real(name, v); }
    void operator()(std::string_view name, TickWords v) {
        json.Array(name, v.words, [](std::uint16_t w) { return std::to_string(w >> 8); });
    }
    void operator()(std::string_view name, std::span<const std::uint8_t> ticks) {
        json.Array(name, ticks, [](std::uint8_t v) { return std::to_string(v); });
    }
    void operator()(std::string_view name, std::span<const Artefact> artefacts) {
        json.Array(name, artefacts, [](const Artefact& a) {
            return "{\"index\": " + std::to_string(a.index) + ", \"kind\": \"" +
                   ArtefactKindName(a.kind) + "\"}";
        });
    }
    void operator()(std::string_view name, std::span<const double> values) {
        json.Array(name, values, JsonObject::Number);
    }
};

} // namespace

std::string ResultLine(const std::string& path, FileKind kind, const FragmentData& f, bool spectrum,
                       bool nonlinear, const RecordChoice& record) {
    JsonObject j;
    j.Str("file", path).Str("type", TypeName(kind)).Bool("ok", true);
    RecordFields(j, kind, record);
    VisitResultFields(f, ResultOptions{.spectrum = spectrum, .nonlinear = nonlinear},
                      JsonFields{j});
    return j.Line();
}

namespace {

std::string ErrorLine(const std::string& path, FileKind kind, std::string_view error) {
    return JsonObject()
        .Str("file", path)
        .Str("type", TypeName(kind))
        .Bool("ok", false)
        .Str("error", error)
        .Line();
}

// One file's outcome: its printed line and, when it was analysed, the fragment that holds it.
struct AnalyzedFile {
    std::string line;
    const FragmentData* fragment = nullptr;   // null when the file failed; read only with a table
    RecordingLength length;                   // of an analysed file
    std::optional<standard::Result> standard; // with a table and --method standard, when defined
};

// A recording longer than this gets the note: twice the 300 s one fragment analyses.
constexpr std::int64_t kNoteTicks = 2 * std::int64_t{kRequiredTicks};

// Standard output that cannot be written ends the run.
struct OutputLost {};

// One window's outcome, made on the thread that analysed it.
struct WindowOutput {
    std::string line;     // the JSON line or the text row
    std::string standard; // with --method standard and text: the row of its table
    std::string identity; // with a table: the row's identity and its record
    std::string record;
    std::string standardRecord; // with a table and --method standard: the standard table's
    bool analysed = false;
};

// A window's JSON line: "file", "type", "ok" (a record's "beats" and "channel"), the window's
// "window", "first" and "start_s", then its indices without the intervals, or "error".
std::string WindowLine(const std::string& path, FileKind kind, const RecordingWindow& w,
                       const FragmentData& f, bool analysed, const ResultOptions& options,
                       const RecordChoice& record) {
    JsonObject j;
    j.Str("file", path).Str("type", TypeName(kind)).Bool("ok", analysed);
    RecordFields(j, kind, record);
    j.Int("window", w.window)
        .Int("first", w.first)
        .Shortest("start_s", TicksToSeconds(static_cast<double>(w.startTicks)));
    if (!analysed) {
        j.Str("error", msg::kTooLittleData);
    } else {
        VisitWindowFields(f, options, JsonFields{j});
    }
    return j.Line();
}

// analyze --windows: each file read whole and analysed window by window; the windows of a file
// on every core, the files one after another.
int AnalyzeByWindows(const AnalyzeOptions& o, const std::optional<RegionalFormat>& regional,
                     Executor& executor, std::ostream& out, std::ostream& err) {
    const char separator = regional ? regional->decimalSeparator : '.';
    const ResultOptions fields{.spectrum = o.spectrum, .nonlinear = o.nonlinear};
    auto workspace = std::make_unique<PpgWorkspace>();
    std::vector<std::uint16_t> words;
    bool anyFailed = false;
    for (const std::string& path : o.files) {
        const FileKind kind = o.kind.value_or(KindFromExtension(path));
        std::vector<RecordingWindow> windows;
        workspace->Record = o.record;
        const std::string error =
            ReadRecordingWindows(path, kind, *o.windows, *workspace, words, windows);
        if (!error.empty()) {
            anyFailed = true;
            out << (o.text ? TextError(path, error) : ErrorLine(path, kind, error) + '\n');
            if (!OutputWritten(out, err)) {
                return kExitFailed;
            }
            continue;
        }
        // The rows' identities begin with the file's, its date read once.
        std::optional<std::string> fileIdentity;
        if (o.table) {
            try {
                fileIdentity = FileIdentity(path, *regional);
            } catch (const FileIoError& e) {
                err << "rvx-cli analyze: " << e.what() << "\n";
                anyFailed = true;
            }
        }
        if (o.text) {
            out << WindowsTextHeader(path, o.nonlinear);
        }
        // The standard analysis takes the same recording's intervals at their own resolution.
        const FileIntervals intervals =
            o.standard.on ? IntervalsOfRecording(workspace->LastRecord) : FileIntervals{};
        // The table takes the recording's rows in one step once its windows are done (or once the
        // output is lost).
        std::vector<SummaryRecord> rows;
        std::vector<SummaryRecord> standardRecords;
        std::string standardRows; // with --method standard and text, printed after the windows
        const auto tableRows = [&] {
            if (!rows.empty() && !AppendTableRecords(*o.table, path, rows, err)) {
                anyFailed = true;
            } else if (!standardRecords.empty() &&
                       !AppendStandardTableRecords(*o.table, standardRecords, err)) {
                anyFailed = true;
            }
        };
        AnalyseWindows<WindowOutput>(
            words, windows, o.correct, executor,
            [&](const RecordingWindow& w, const FragmentData& f, bool analysed) {
                WindowOutput r;
                r.analysed = analysed;
                r.line =
                    o.text
                        ? WindowTextRow(w.startTicks, f,
                                        analysed ? std::string_view() : msg::kTooLittleData,
                                        separator, o.nonlinear)
                        : WindowLine(path, kind, w, f, analysed, fields, workspace->Record) + '\n';
                if (analysed && fileIdentity) {
                    r.identity = WindowRowIdentity(*fileIdentity, f, w.startTicks);
                    r.record = SummaryTableRow(r.identity, f, separator);
                }
                if (o.standard.on) {
                    const StandardOutcome standard = StandardOutcomeOf([&] {
                        return AnalyseStandardWindow(intervals, w, o.standard.settings, o.correct);
                    });
                    if (o.text) {
                        r.standard = StandardWindowRow(
                            w.startTicks, standard.result ? &*standard.result : nullptr,
                            standard.error, separator);
                    } else {
                        r.line = AppendStandard(std::move(r.line),
                                                StandardObjectOf(standard, o.spectrum));
                    }
                    if (!r.identity.empty() && standard.result) {
                        r.standardRecord =
                            StandardTableRow(r.identity, *standard.result, separator);
                    }
                }
                return r;
            },
            [&](const RecordingWindow&, WindowOutput&& r) {
                out << r.line;
                standardRows += r.standard;
                if (!r.analysed) {
                    anyFailed = true;
                } else if (!r.identity.empty()) {
                    if (!r.standardRecord.empty()) {
                        standardRecords.push_back({r.identity, std::move(r.standardRecord)});
                    }
                    rows.push_back({std::move(r.identity), std::move(r.record)});
                }
                if (!OutputWritten(out, err)) {
                    tableRows();
                    throw OutputLost{};
                }
            });
        tableRows();
        if (o.text && o.standard.on) {
            out << '\n' << StandardWindowsHeader(o.standard.settings, separator) << standardRows;
        }
        if (o.text) {
            out << '\n';
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace

int Analyze(const Args& args, Executor& executor, std::ostream& out, std::ostream& err) {
    const auto options = ParseAnalyze(args, err);
    if (!options) {
        Usage(err);
        return kExitUsage;
    }
    // The user's regional settings only for the table's dates and the text's decimal separator.
    std::optional<RegionalFormat> regional;
    if (options->table || options->text) {
        regional = UserRegionalFormat();
    }
    if (options->windows) {
        try {
            return AnalyzeByWindows(*options, regional, executor, out, err);
        } catch (const OutputLost&) {
            return kExitFailed;
        }
    }
    const char separator = regional ? regional->decimalSeparator : '.';
    const auto& files = options->files;
    bool anyFailed = false;
    // The files are analysed on several threads, each on a fragment of its own (a file's result
    // depends on no other file), and printed here in the order given. A table row is appended
    // here too, in order, from the fragment its thread holds until the row is written.
    // Several files: one analysis per thread of the executor; one file: its bins spread over
    // them.
    try {
        AnalyseFiles<AnalyzedFile>(
            files, options->kind, options->correct, executor, options->table.has_value(),
            [&](std::size_t i, FileKind kind, FileWorker& w, const std::string& error) {
                const std::string& path = files[i];
                const FragmentData* analysed = error.empty() ? &w.fragment : nullptr;
                const RecordingLength length =
                    analysed ? LengthOf(path, kind, w.fragment, w.workspace) : RecordingLength{};
                std::optional<StandardOutcome> standard;
                // The standard table's record goes with the summary table's row.
                const auto forTable = [&](std::optional<StandardOutcome>& s) {
                    return analysed && options->table && s ? std::move(s->result) : std::nullopt;
                };
                if (options->standard.on) {
                    standard = StandardOfFile(path, kind, w.workspace, options->standard.settings,
                                              options->correct);
                }
                if (options->text) {
                    std::string text =
                        TextResult(path, w.fragment, error, separator, options->nonlinear);
                    if (standard) {
                        text += StandardTextOf(*standard, separator);
                    }
                    return AnalyzedFile{text, analysed, length, forTable(standard)};
                }
                std::string line = error.empty()
                                       ? ResultLine(path, kind, w.fragment, options->spectrum,
                                                    options->nonlinear, w.workspace.Record)
                                       : ErrorLine(path, kind, error);
                if (standard) {
                    line = AppendStandard(std::move(line),
                                          StandardObjectOf(*standard, options->spectrum));
                }
                return AnalyzedFile{line + '\n', analysed, length, forTable(standard)};
            },
            [&](std::size_t i, AnalyzedFile&& r) {
                out << r.line;
                if (r.fragment != nullptr && r.length.ticks > kNoteTicks) {
                    err << "rvx-cli analyze: " << files[i] << ": "
                        << msg::AnalysedPart(DurationText(r.length.ticks), r.length.atLeast)
                        << "\n";
                }
                if (r.fragment == nullptr) {
                    anyFailed = true;
                } else if (options->table &&
                           !AppendAnalyzedRow(*options->table, files[i], *r.fragment, *regional,
                                              err, r.standard ? &*r.standard : nullptr)) {
                    anyFailed = true;
                }
                if (!OutputWritten(out, err)) {
                    throw OutputLost{};
                }
            },
            options->record);
    } catch (const OutputLost&) {
        return kExitFailed;
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace hrv::cli
