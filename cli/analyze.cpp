// rvx-cli analyze: the analysis of stored fragments as JSON Lines.
#include "analysis/pipeline.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/table_output.h"
#include "cli/text_output.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "presentation/messages.h"

#include <memory>
#include <optional>
#include <ostream>

namespace hrv::cli {

namespace {

struct AnalyzeOptions {
    std::optional<FileKind> kind; // --type; otherwise by extension
    bool spectrum = false;
    bool text = false;                // --format text: the panels' lines instead of JSON
    std::optional<std::string> table; // --table: the summary table the rows go to
    std::vector<std::string> files;
};

std::optional<AnalyzeOptions> ParseAnalyze(const Args& args, std::ostream& err) {
    AnalyzeOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--spectrum") {
            o.spectrum = true;
        } else if (a == "--type") {
            if (!TakeTypeOption(args, i, o.kind, "analyze", err)) {
                return std::nullopt;
            }
        } else if (a == "--format") {
            if (i + 1 >= args.size() || (args[i + 1] != "json" && args[i + 1] != "text")) {
                err << "rvx-cli analyze: --format takes json or text\n";
                return std::nullopt;
            }
            o.text = args[++i] == "text";
        } else if (a == "--table") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "rvx-cli analyze: --table takes the path of the table\n";
                return std::nullopt;
            }
            o.table = args[++i];
        } else if (a == "--") {
            o.files.insert(o.files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "rvx-cli analyze: unknown option " << a << "\n";
            return std::nullopt;
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.empty()) {
        err << "rvx-cli analyze: no file given\n";
        return std::nullopt;
    }
    return o;
}

} // namespace

bool TakeTypeOption(const Args& args, std::size_t& i, std::optional<FileKind>& kind,
                    std::string_view command, std::ostream& err) {
    for (const FileKind k : {FileKind::Rr, FileKind::Ppg, FileKind::Txt}) {
        if (i + 1 < args.size() && args[i + 1] == TypeName(k)) {
            kind = k;
            ++i;
            return true;
        }
    }
    err << "rvx-cli " << command << ": --type takes rr, ppg or txt\n";
    return false;
}

std::string_view TypeName(FileKind kind) {
    return kind == FileKind::Ppg ? "ppg" : kind == FileKind::Txt ? "txt" : "rr";
}

std::string AnalyseFile(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w) {
    if (!FileExists(path)) {
        return msg::FileNotFound(path);
    }
    try {
        if (LoadFragmentFile(path, kind, f, w) == LoadResult::ImportError) {
            return std::string(msg::kImportError);
        }
        if (!AnalyseFragment(f)) {
            return std::string(msg::kTooLittleData);
        }
    } catch (const FileIoError& e) {
        return e.what();
    }
    return {};
}

std::string ResultLine(const std::string& path, FileKind kind, const FragmentData& f,
                       bool spectrum) {
    const auto& t = f.TimeIndices;
    const auto& s = f.SpectralIndices;
    const int held = std::min(f.RrCount, kRrCapacity);
    JsonObject j;
    j.Str("file", path)
        .Str("type", TypeName(kind))
        .Bool("ok", true)
        .Int("RrCount", f.RrCount)
        .Int("FragmentCount", f.FragmentCount)
        .Real("SDNN", t.SDNN)
        .Real("RMSSD", t.RMSSD)
        .Real("NN50", t.NN50)
        .Real("pNN50", t.pNN50)
        .Int("HRVind", t.HRVind)
        .Int("TINN", t.TINN)
        .Int("HR", t.HR)
        .Int("ModeClass", t.ModeClass)
        .Int("ModeCount", t.ModeCount)
        .Int("AMo", t.AMo)
        .Int("MinClass", t.MinClass)
        .Int("MaxClass", t.MaxClass)
        .Real("VLF", s.VLF)
        .Real("LF", s.LF)
        .Real("HF", s.HF)
        .Real("Total", s.Total)
        .Real("LFnorm", s.LFnorm)
        .Real("HFnorm", s.HFnorm)
        .Real("LFHF", s.LFHF)
        .Array("intervals", std::span(f.RrTicks.data() + 1, static_cast<std::size_t>(held)),
               [](std::uint8_t v) { return std::to_string(v); });
    if (spectrum) {
        j.Array("Power", std::span(f.Spectrum.Power.data() + 1, kBinCount), JsonObject::Number);
    }
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

} // namespace

int Analyze(const Args& args, std::ostream& out, std::ostream& err) {
    const auto options = ParseAnalyze(args, err);
    if (!options) {
        Usage(err);
        return kExitUsage;
    }
    auto workspace = std::make_unique<PpgWorkspace>();
    const RegionalFormat regional = UserRegionalFormat();
    bool anyFailed = false;
    for (const std::string& path : options->files) {
        const FileKind kind = options->kind.value_or(KindFromExtension(path));
        // Each file is analysed on a fragment of its own, so no file's result depends on another.
        auto f = std::make_unique<FragmentData>();
        const std::string error = AnalyseFile(path, kind, *f, *workspace);
        if (options->text) {
            out << TextResult(path, *f, error, regional.decimalSeparator);
        } else {
            out << (error.empty() ? ResultLine(path, kind, *f, options->spectrum)
                                  : ErrorLine(path, kind, error))
                << '\n';
        }
        if (!error.empty()) {
            anyFailed = true;
        } else if (options->table && !AppendAnalyzedRow(*options->table, path, *f, regional, err)) {
            anyFailed = true;
        }
        out.flush();
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace hrv::cli
