// The R-peak detector on a raw signal, for the scoring script (bench/rpeak_score.py):
//   rpeak_detect RATE SIGNAL.f32 OUT.txt
// reads little-endian 32-bit floats (one lead, physical units) and writes one R-peak a line, the
// 0-based sample position. Prints the detector's time in milliseconds.
#include "analysis/rpeak_detector.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: rpeak_detect RATE SIGNAL.f32 OUT.txt\n";
        return 2;
    }
    double rate = 0.0;
    const std::string rate_text = argv[1];
    std::from_chars(rate_text.data(), rate_text.data() + rate_text.size(), rate);
    std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
    if (!in) {
        std::cerr << "cannot read " << argv[2] << "\n";
        return 1;
    }
    std::vector<float> samples(static_cast<std::size_t>(in.tellg()) / sizeof(float));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * sizeof(float)));
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::int64_t> peaks = hrv::DetectRPeaks(samples, rate);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::ofstream out(argv[3]);
    for (const std::int64_t p : peaks) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, p).ptr;
        out.write(text, end - text).put('\n');
    }
    std::cout << took.count() << "\n";
    return out ? 0 : 1;
}
