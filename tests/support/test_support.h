// Helpers shared by the core tests: fragments, synthetic PPG images, tolerant comparison.
#pragma once

#include "analysis/fragment_data.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace hrv::test {

inline std::unique_ptr<FragmentData> NewFragment() {
    return std::make_unique<FragmentData>();
}

// Puts the intervals (ticks) into RrTicks/RrAux/RrWords and AnalysisSeries from position 1, as a
// writer hands a fragment to the analysis.
inline void SetIntervals(FragmentData& f, const std::vector<int>& ticks) {
    f.AnalysisSeries.fill(0);
    f.RrCount = static_cast<std::int32_t>(ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const auto k = i + 1;
        const auto v = static_cast<std::uint8_t>(ticks[i]);
        if (k <= static_cast<std::size_t>(kRrCapacity)) {
            f.RrTicks[k] = v;
            f.RrAux[k] = 0;
            f.AnalysisSeries[k] = v;
        }
        f.RrWords[k] = static_cast<std::uint16_t>(v * 256);
    }
}

inline std::vector<int> Repeat(int value, int count) {
    return std::vector<int>(count, value);
}

inline std::vector<int> Concat(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// A rhythm around `mean` ticks modulated at `periodSeconds`, long enough for the analysis.
inline std::vector<int> ModulatedRhythm(double mean, double amplitude, double periodSeconds,
                                        int count) {
    std::vector<int> out;
    double t = 0;
    for (int i = 0; i < count; ++i) {
        const double v = mean + amplitude * std::sin(2 * 3.141592653589793 * t / periodSeconds);
        const int ticks = static_cast<int>(std::lround(v));
        out.push_back(ticks);
        t += ticks * 0.01;
    }
    return out;
}

// Channel A of a pulse wave made of steps: it jumps from 0 to `height` at each frame in `jumps`
// (frames from 1) and falls back to 0 `width` frames later. With at least 18 frames up and 18
// down, the detector sees one candidate beat exactly at each jump frame.
inline std::vector<std::uint8_t> StepWave(const std::vector<int>& jumps, int width, int height,
                                          int frames) {
    std::vector<std::uint8_t> a(static_cast<std::size_t>(frames) + 1, 0); // frames 1..frames
    for (const int s : jumps) {
        for (int t = s; t < s + width && t <= frames; ++t) {
            a[static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(height);
        }
    }
    return a;
}

// The PPG file image of channel A (frames 1..n): sync 231, A, B = 0 in the even bytes, odd bytes
// `oddByte`, followed by one more sync so that the last frame is complete.
inline std::vector<std::uint8_t> PpgImage(const std::vector<std::uint8_t>& channelA,
                                          std::uint8_t oddByte = 0) {
    std::vector<std::uint8_t> samples;
    for (std::size_t t = 1; t < channelA.size(); ++t) {
        samples.push_back(231);
        samples.push_back(channelA[t]);
        samples.push_back(0);
    }
    samples.push_back(231);
    std::vector<std::uint8_t> bytes;
    for (const auto s : samples) {
        bytes.push_back(s);
        bytes.push_back(oddByte);
    }
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh, empty folder for one test.
inline std::filesystem::path TempDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("rvx-test-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The folder of real recordings, or "" when it is not beside the project.
inline std::string SharedData() {
#ifdef HRV_SHARED_DATA
    const std::string dir = HRV_SHARED_DATA;
    if (std::filesystem::exists(dir + "/README.md")) {
        return dir;
    }
#endif
    return {};
}

inline ::testing::AssertionResult NearRel(double actual, double expected, double rtol = 1e-12) {
    const double diff = std::fabs(actual - expected);
    if (diff <= rtol * std::max(std::fabs(actual), std::fabs(expected)) || diff <= 1e-300) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << actual << " differs from " << expected;
}

} // namespace hrv::test
