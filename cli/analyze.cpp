// rvx-cli analyze: the analysis of stored fragments as JSON Lines.
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/options.h"
#include "cli/table_output.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "presentation/open_fragment.h"

#include <memory>
#include <optional>
#include <ostream>

namespace hrv::cli {

namespace {

struct AnalyzeOptions {
    std::optional<FileKind> kind; // --type; otherwise by extension
    bool spectrum = false;
    std::optional<std::string> table; // --table: the summary table the rows go to
    std::vector<std::string> files;
};

std::optional<AnalyzeOptions> ParseAnalyze(const Args& args, std::ostream& err) {
    AnalyzeOptions o;
    OptionParser parser("rvx-cli analyze", err);
    parser.Flag("--spectrum", o.spectrum)
        .Value("--type", "rr or ppg", TypeOption(o.kind))
        .Text("--table", "the path of the table", o.table);
    if (!parser.Parse(args, o.files)) {
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
        if (value != "rr" && value != "ppg") {
            return false;
        }
        kind = value == "ppg" ? FileKind::Ppg : FileKind::Rr;
        return true;
    };
}

std::string AnalyseFile(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w) {
    try {
        return OpenStatusText(OpenFragment(path, kind, f, w), path);
    } catch (const FileIoError& e) {
        return e.what();
    }
}

std::string ResultLine(const std::string& path, FileKind kind, const FragmentData& f,
                       bool spectrum) {
    const auto& t = f.TimeIndices;
    const auto& s = f.SpectralIndices;
    const int held = std::min(f.RrCount, kRrCapacity);
    JsonObject j;
    j.Str("file", path)
        .Str("type", kind == FileKind::Ppg ? "ppg" : "rr")
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
        .Str("type", kind == FileKind::Ppg ? "ppg" : "rr")
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
        if (error.empty()) {
            out << ResultLine(path, kind, *f, options->spectrum) << '\n';
            if (options->table && !AppendAnalyzedRow(*options->table, path, *f, regional, err)) {
                anyFailed = true;
            }
        } else {
            anyFailed = true;
            out << ErrorLine(path, kind, error) << '\n';
        }
        if (!OutputWritten(out, err)) {
            return kExitFailed;
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace hrv::cli
