// The one set of test helpers: fragments and synthetic rhythms, RR and PPG file images, whole-file
// bytes, a scratch folder, file dates, the real recordings and tolerant comparison.
#pragma once

#include "analysis/fragment_data.h"
#include "tests/support/scratch_dir.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utime.h>
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

// Whole-file bytes, as a byte vector or (ReadBytes<std::string>) as a string.
template <class Bytes = std::vector<std::uint8_t>> Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Noon of a local date, as seconds since 1970.
inline std::time_t LocalNoon(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Sets the file's modification time to the given local date at noon.
inline void SetLocalDate(const std::string& path, int year, int month, int day) {
    const std::time_t t = LocalNoon(year, month, day);
    utimbuf times{t, t}; // MinGW's utime takes it non-const
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
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
inline std::vector<int> TwoBandRhythm(int count, int mean) {
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
inline std::string PulseWaveImage(int frames, int period) {
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

// Sets an environment variable for the life of the object (an empty value is as good as none
// for the locale variables).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        Set(name, value.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { Set(name_, had_ ? old_.c_str() : nullptr); }

private:
    // Sets the variable, or removes it when value is null.
    static void Set(const char* name, const char* value) {
#ifdef _WIN32
        ::_putenv_s(name, value != nullptr ? value : ""); // "" removes it
#else
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
#endif
    }

    const char* name_;
    bool had_ = false;
    std::string old_;
};

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
