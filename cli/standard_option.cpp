// rvx-cli analyze --method standard.
#include "cli/standard_option.h"

#include "cli/json_writer.h"
#include "cli/text_output.h"
#include "files/file_io.h"
#include "service/standard_analysis.h"

#include <charconv>
#include <exception>

namespace hrv::cli {

namespace {

bool ParseNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end;
}

bool ParseWhole(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end;
}

} // namespace

void AddStandardOptions(OptionParser& parser, StandardChoice& c) {
    auto number = [&c](double& target) {
        return [&c, &target](const std::string& v) {
            c.anyOption = true;
            return ParseNumber(v, target);
        };
    };
    auto whole = [&c](int& target) {
        return [&c, &target](const std::string& v) {
            c.anyOption = true;
            return ParseWhole(v, target);
        };
    };
    standard::Settings& s = c.settings;
    parser
        .Value("--method", "system or standard",
               [&c](const std::string& v) {
                   c.on = v == "standard";
                   return v == "system" || v == "standard";
               })
        .Value("--interp", "a rate in Hz", number(s.InterpolationHz))
        .Value("--detrend", "none, priors or priors:LAMBDA",
               [&c](const std::string& v) {
                   c.anyOption = true;
                   if (v == "none") {
                       c.settings.Detrend = standard::Detrending::None;
                       return true;
                   }
                   c.settings.Detrend = standard::Detrending::SmoothnessPriors;
                   return v == "priors" ||
                          (v.starts_with("priors:") && ParseNumber(v.substr(7), c.settings.Lambda));
               })
        .Value("--welch-window", "a length in seconds", number(s.WelchWindowS))
        .Value("--welch-overlap", "a percentage", number(s.WelchOverlapPercent))
        .Value("--ar-order", "a whole number", whole(s.ArOrder))
        .Value("--ar-method", "fb or burg",
               [&c](const std::string& v) {
                   c.anyOption = true;
                   c.settings.Ar =
                       v == "burg" ? standard::ArMethod::Burg : standard::ArMethod::ForwardBackward;
                   return v == "fb" || v == "burg";
               })
        .Value("--points-per-hz", "a whole number", whole(s.PointsPerHz))
        .Value("--nn-threshold", "a number of milliseconds", number(s.NnThresholdMs));
}

std::string CheckStandard(const StandardChoice& c) {
    if (!c.on) {
        return c.anyOption ? "the options of the standard analysis need --method standard" : "";
    }
    const std::string problem = standard::Validate(c.settings);
    return problem.empty() ? "" : "--method standard: " + problem;
}

std::string AppendStandard(std::string line, const std::string& object) {
    const bool newline = !line.empty() && line.back() == '\n';
    if (newline) {
        line.pop_back();
    }
    line.pop_back(); // the object's closing brace
    line += ", \"standard\": " + object + "}";
    if (newline) {
        line += '\n';
    }
    return line;
}

StandardOutcome StandardOutcomeOf(const std::function<standard::Result()>& analyse) {
    try {
        return {analyse(), {}};
    } catch (const std::exception& e) {
        return {std::nullopt, e.what()};
    }
}

StandardOutcome StandardOfFile(const std::string& path, FileKind kind, PpgWorkspace& w,
                               const standard::Settings& settings, CorrectionMode correct) {
    return StandardOutcomeOf([&] {
        const FileIntervals file = OpenedFileIntervals(path, kind, w);
        return AnalyseStandard(file.ms, file.ticks, settings, correct);
    });
}

std::string StandardObjectOf(const StandardOutcome& outcome, bool spectra) {
    return outcome.result ? standard::ToJson(*outcome.result, spectra)
                          : "{\"error\": " + JsonObject::Quote(outcome.error) + "}";
}

std::string StandardTextOf(const StandardOutcome& outcome, char separator) {
    return outcome.result ? StandardText(*outcome.result, separator)
                          : StandardTextError(outcome.error);
}

} // namespace hrv::cli
