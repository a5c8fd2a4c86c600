// The candidates of the R-peak detector: the maxima of the QRS envelope, each with what the
// detector needs to decide on it and to place it (analysis/rpeak_detector.cpp says how).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace hrv::rpeak {

// The points of a candidate's shape: the placement signal every 8 ms from 96 ms before the
// envelope's maximum to 96 ms after it, whatever the rate.
inline constexpr std::size_t kShapePoints = 25;
inline constexpr double kShapeStep = 0.008; // s

struct Candidate {
    std::int64_t at = 0;   // the envelope's maximum
    double height = 0.0;   // the envelope there
    double slope = 0.0;    // the steepest slope of the band-passed signal within 75 ms
    std::int64_t up = 0;   // the highest point of the placement signal within 100 ms
    std::int64_t down = 0; // its lowest point there
    double rise = 0.0;     // how far the highest point stands above the local median
    double fall = 0.0;     // how far the lowest point lies below it
    double sharp = 0.0;    // the steepest slope of the placement signal within 75 ms, over
                           // rise + fall: about 1.65/s over a wave's width (its SD), whatever
                           // its height
    std::array<std::int8_t, kShapePoints> shape{}; // around `at`, less its mean, to +-127
};

// The candidates of `samples` at `rate` samples per second, in time order. A maximum on the
// record's first or last sample is none: the complex it belongs to lies beyond the record, and the
// reflection there only mirrors its rise.
std::vector<Candidate> FindCandidates(std::span<const float> samples, double rate);

} // namespace hrv::rpeak
