// rvx_correct: the artefact correction of RR files with its constants set on the command line,
// for bench/artefact_bench.py (not installed, not a test).
//
//   rvx_correct [--set NAME=VALUE]... --out DIR FILE.rr...
//
// Each file is read as rvx-cli reads it and its intervals are corrected as `analyze --correct
// auto` corrects them, with the Tuning's defaults unless --set changes one (NAME as the field of
// correction::Tuning). Written per file into DIR: NAME.txt, the corrected intervals in ms, one a
// line, and NAME.flags.json, {"flagged": [...]} the 0-based input intervals of the artefacts.
#include "analysis/beat_correction.h"
#include "analysis/fragment_data.h"
#include "analysis/ticks.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

using hrv::correction::Tuning;

bool Parse(std::string_view text, double& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Sets the field `name` of t; false when there is no such field or the value is no number.
bool Set(Tuning& t, std::string_view name, std::string_view text) {
    double v = 0;
    if (!Parse(text, v)) {
        return false;
    }
    const auto whole = [&](int& field) { field = static_cast<int>(v); };
    const struct {
        const char* name;
        double* real;
        int* count;
    } fields[] = {
        {"window", nullptr, &t.window},
        {"firstWindow", nullptr, &t.firstWindow},
        {"minSpread", &t.minSpread, nullptr},
        {"knee", &t.knee, nullptr},
        {"levelWeight", &t.levelWeight, nullptr},
        {"levelWeightMade", &t.levelWeightMade, nullptr},
        {"horizon", nullptr, &t.horizon},
        {"firstHorizon", nullptr, &t.firstHorizon},
        {"penaltyMove", &t.penaltyMove, nullptr},
        {"pairWeight", &t.pairWeight, nullptr},
        {"jitterQuantile", &t.jitterQuantile, nullptr},
        {"jitterWindow", nullptr, &t.jitterWindow},
        {"minJitter", &t.minJitter, nullptr},
        {"penaltyDrop", &t.penaltyDrop, nullptr},
        {"penaltyInsert", &t.penaltyInsert, nullptr},
        {"rightClamp", &t.rightClamp, nullptr},
        {"ectopicShare", &t.ectopicShare, nullptr},
        {"pairMismatch", &t.pairMismatch, nullptr},
        {"noiseGap", nullptr, &t.noiseGap},
        {"noiseCount", nullptr, &t.noiseCount},
        {"noiseLevelBeats", nullptr, &t.noiseLevelBeats},
        {"noiseFit", &t.noiseFit, nullptr},
    };
    for (const auto& f : fields) {
        if (name == f.name) {
            if (f.real != nullptr) {
                *f.real = v;
            } else {
                whole(*f.count);
            }
            return true;
        }
    }
    return false;
}

std::string Number(long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

int main(int argc, char** argv) {
    Tuning tuning;
    std::filesystem::path out;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--set" && i + 1 < argc) {
            const std::string_view set = argv[++i];
            const auto eq = set.find('=');
            if (eq == std::string_view::npos ||
                !Set(tuning, set.substr(0, eq), set.substr(eq + 1))) {
                std::cerr << "rvx_correct: no such constant or no number: " << set << "\n";
                return 2;
            }
        } else if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            files.emplace_back(arg);
        }
    }
    if (out.empty() || files.empty()) {
        std::cerr << "usage: rvx_correct [--set NAME=VALUE]... --out DIR FILE.rr...\n";
        return 2;
    }
    auto f = std::make_unique<hrv::FragmentData>();
    auto w = std::make_unique<hrv::PpgWorkspace>();
    hrv::BeatCorrection c;
    for (const std::string& path : files) {
        if (hrv::LoadFragmentFile(path, hrv::FileKind::Rr, *f, *w) != hrv::LoadResult::Loaded) {
            std::cerr << "rvx_correct: cannot read " << path << "\n";
            continue;
        }
        std::vector<std::uint8_t> ticks;
        for (int k = 1; k <= std::min(f->RrCount, hrv::kRrCapacity); ++k) {
            ticks.push_back(
                static_cast<std::uint8_t>(f->RrWords[static_cast<std::size_t>(k)] >> 8));
        }
        hrv::CorrectBeats(ticks, c, tuning);
        const std::string stem = std::filesystem::path(path).stem().string();
        std::ofstream list(out / (stem + ".txt"));
        for (const std::uint8_t v : c.ticks) {
            list << Number(static_cast<long>(hrv::TicksToMs(v))) << "\n";
        }
        std::ofstream flags(out / (stem + ".flags.json"));
        flags << "{\"flagged\": [";
        for (std::size_t a = 0; a < c.artefacts.size(); ++a) {
            flags << (a > 0 ? ", " : "") << Number(c.artefacts[a].index);
        }
        flags << "]}\n";
    }
    return 0;
}
