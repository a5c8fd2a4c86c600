// The candidates of the R-peak detector: the maxima of the QRS envelope, each with what the
// detector needs to decide on it and to place it (analysis/rpeak_detector.cpp says how).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hrv::rpeak {

struct Candidate {
    std::int64_t at = 0;   // the envelope's maximum
    double height = 0.0;   // the envelope there
    double slope = 0.0;    // the steepest slope of the band-passed signal within 75 ms
    std::int64_t up = 0;   // the highest point of the placement signal within 100 ms
    std::int64_t down = 0; // its lowest point there
    double rise = 0.0;     // how far the highest point stands above the local median
    double fall = 0.0;     // how far the lowest point lies below it
};

// The candidates of `samples` at `rate` samples per second, in time order.
std::vector<Candidate> FindCandidates(std::span<const float> samples, double rate);

} // namespace hrv::rpeak
