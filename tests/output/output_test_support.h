// Helpers of the output tests: a scratch folder, whole-file bytes, synthetic RR and PPG images.
#pragma once

#include "analysis/fragment_data.h"
#include "tests/support/scratch_dir.h"

#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>
#include <string>
#include <unistd.h>
#include <utime.h>
#include <vector>

namespace hrv::test {

// Sets the file's modification time to the given local date at noon.
inline void SetLocalDate(const std::string& path, int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    const utimbuf times{t, t};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An RR file image: two zero header bytes, then ticks * 256 as little-endian words.
inline std::string RrImage(const std::vector<int>& ticks) {
    std::string bytes(2, '\0');
    for (const int t : ticks) {
        bytes += '\0';
        bytes += static_cast<char>(t);
    }
    return bytes;
}

// A rhythm of `count` intervals around `mean` ticks, modulated at 0.1 Hz and 0.25 Hz so that
// every index has something to measure.
inline std::vector<int> ModulatedRhythm(int count, int mean) {
    std::vector<int> ticks;
    double time = 0;
    for (int i = 0; i < count; ++i) {
        const double v = mean + 6 * std::sin(2 * std::numbers::pi * 0.1 * time) +
                         3 * std::sin(2 * std::numbers::pi * 0.25 * time + 1.0);
        const int t = static_cast<int>(std::lround(v));
        ticks.push_back(t);
        time += t / 100.0;
    }
    return ticks;
}

// A PPG file image of a pulse wave with one steep upstroke every `period` frames: frames of sync
// 231, channel A and channel B, each sample followed by a zero byte.
inline std::string PpgImage(int frames, int period) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(frames) * 6);
    for (int i = 0; i < frames; ++i) {
        const int phase = i % period;
        // Rise by 12 a frame for 15 frames, then fall slowly back to the base line.
        const int a = phase < 15 ? 20 + 12 * phase : 200 - (180 * (phase - 15)) / (period - 15);
        bytes += static_cast<char>(231);
        bytes += '\0';
        bytes += static_cast<char>(a);
        bytes += '\0';
        bytes += static_cast<char>(100);
        bytes += '\0';
    }
    return bytes;
}

} // namespace hrv::test
