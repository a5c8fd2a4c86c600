// rvx-cli analyze --method standard.
#include "cli/standard_option.h"

#include "cli/json_writer.h"
#include "files/file_io.h"
#include "files/recording.h"
#include "files/rr_text.h"

#include <charconv>
#include <stdexcept>
#include <vector>

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

std::string CheckStandard(const StandardChoice& c, bool windows, bool text) {
    if (!c.on) {
        return c.anyOption ? "the options of the standard analysis need --method standard" : "";
    }
    if (windows || text) {
        return "--method standard gives its object on the JSON line of a whole file: not with "
               "--windows or --format text";
    }
    const std::string problem = standard::Validate(c.settings);
    return problem.empty() ? "" : "--method standard: " + problem;
}

std::vector<double> CorrectedIntervalsMs(std::span<const double> ms,
                                         std::span<const std::uint8_t> ticks,
                                         const BeatCorrection& c) {
    std::vector<double> out;
    out.reserve(c.ticks.size());
    std::size_t i = 0;   // the first input interval that starts at or after `at`
    std::int64_t in = 0; // its start, ticks
    std::int64_t at = 0; // the start of corrected interval k, ticks
    for (std::size_t k = 0; k < c.ticks.size(); ++k) {
        const std::uint8_t t = c.ticks[k];
        while (i < ticks.size() && in < at) {
            in += ticks[i++];
        }
        const bool kept = k < c.marks.size() && c.marks[k] == 0 && i < ticks.size() &&
                          i < ms.size() && in == at && ticks[i] == t;
        out.push_back(kept ? ms[i] : static_cast<double>(t) * 10);
        at += t;
    }
    return out;
}

std::string WithStandard(std::string line, const std::string& path, FileKind kind, PpgWorkspace& w,
                         const standard::Settings& settings, CorrectionMode correct, bool spectra) {
    std::string object;
    try {
        std::vector<double> ms;
        std::vector<std::uint8_t> ticks;
        if (kind == FileKind::Txt) {
            RrTextResult list = ReadRrTextList(path, w.FileImage);
            ms = std::move(list.ms); // as written
            ticks = std::move(list.ticks);
        } else {
            std::vector<std::uint16_t> words;
            if (ReadRecording(path, kind, w, words) != LoadResult::Loaded) {
                throw std::invalid_argument("the file gives no intervals");
            }
            for (const std::uint16_t word : words) {
                ticks.push_back(static_cast<std::uint8_t>(word >> 8));
                ms.push_back(static_cast<double>(word >> 8) * 10); // 10 ms ticks
            }
        }
        if (correct == CorrectionMode::Auto) {
            BeatCorrection c;
            CorrectBeats(ticks, c);
            ms = CorrectedIntervalsMs(ms, ticks, c);
        }
        object = standard::ToJson(standard::AnalyseIntervals(ms, settings), spectra);
    } catch (const std::exception& e) {
        object = "{\"error\": " + JsonObject::Quote(e.what()) + "}";
    }
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

} // namespace hrv::cli
