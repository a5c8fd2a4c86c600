// Helpers of the output tests: a scratch folder, whole-file bytes, synthetic RR and PPG images.
#pragma once

#include "analysis/fragment_data.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

namespace hrv::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "rvx_output_" + std::to_string(::getpid()) + "_";
        if (info != nullptr) {
            name += std::string(info->test_suite_name()) + "_" + info->name();
        }
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

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
