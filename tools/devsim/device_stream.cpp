// The device's byte stream for a fragment.
#include "tools/devsim/device_stream.h"

#include "analysis/fragment_data.h"
#include "files/file_io.h"
#include "files/rr_file.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace hrv::devsim {

namespace {
constexpr std::uint8_t kAuxOffset = 100;  // third byte = aux + 100
constexpr std::uint8_t kBrokenThird = 99; // a third byte the program takes as a broken stream
constexpr int kTickMs = 10;
} // namespace

std::uint8_t IntervalByte(std::uint8_t ticks, int deviceIndex) {
    if (deviceIndex != 1) {
        return ticks;
    }
    // The program reads b * 8 div 10; the smallest b giving `ticks` is ceil(ticks * 10 / 8).
    const int b = (ticks * 10 + 7) / 8;
    return static_cast<std::uint8_t>(std::min(b, 255));
}

std::vector<Chunk> DeviceStream(const std::vector<Beat>& beats, const StreamOptions& options) {
    std::vector<Chunk> out;
    if (!options.junk.empty()) {
        out.push_back({0, options.junk});
    }
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        if (const auto it = options.statusBefore.find(k); it != options.statusBefore.end()) {
            for (std::uint8_t code : it->second) {
                out.push_back({0, {code, 0, kAuxOffset}});
            }
        }
        const Beat& beat = beats[i];
        const auto third = k == options.breakAt
                               ? kBrokenThird
                               : static_cast<std::uint8_t>(std::min(beat.aux + kAuxOffset, 255));
        out.push_back({static_cast<std::int64_t>(beat.ticks) * kTickMs,
                       {0, IntervalByte(beat.ticks, options.deviceIndex), third}});
    }
    return out;
}

std::vector<Beat> BeatsOfRrFile(const std::string& path) {
    auto f = std::make_unique<FragmentData>();
    ReadRrFile(path, *f);
    std::vector<Beat> beats;
    beats.reserve(static_cast<std::size_t>(f->RrCount));
    for (std::int32_t k = 1; k <= f->RrCount; ++k) {
        const std::uint16_t word = f->RrWords[static_cast<std::size_t>(k)];
        beats.push_back(
            {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)});
    }
    return beats;
}

std::vector<Beat> GeneratedBeats(int count) {
    constexpr double kPi = 3.14159265358979323846;
    std::vector<Beat> beats;
    double t = 0; // seconds since the first beat
    for (int k = 0; k < count; ++k) {
        const double ticks =
            80.0 + 4.0 * std::sin(2 * kPi * 0.1 * t) + 3.0 * std::sin(2 * kPi * 0.25 * t);
        const auto v = static_cast<std::uint8_t>(std::clamp(RoundEven(ticks), 1, 255));
        beats.push_back({v, 0});
        t += v * 0.01;
    }
    return beats;
}

} // namespace hrv::devsim
