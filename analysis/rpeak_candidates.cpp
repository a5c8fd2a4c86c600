// The candidates of the R-peak detector: the signal filtered block by block.
#include "analysis/rpeak_candidates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hrv::rpeak {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPlaceCutoff = 30.0; // Hz, the placement signal's low-pass

// A second-order section, transposed direct form II.
struct Biquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// Butterworth low- or high-pass at `cutoff` Hz, bilinear transform with prewarping.
Biquad Butterworth(double cutoff, double rate, bool high) {
    const double k = std::tan(kPi * cutoff / rate);
    const double q = std::sqrt(0.5);
    const double norm = 1.0 / (1.0 + k / q + k * k);
    Biquad f;
    f.b0 = high ? norm : k * k * norm;
    f.b1 = high ? -2.0 * f.b0 : 2.0 * f.b0;
    f.b2 = f.b0;
    f.a1 = 2.0 * (k * k - 1.0) * norm;
    f.a2 = (1.0 - k / q + k * k) * norm;
    return f;
}

// Four values, one for each of four blocks filtered side by side; each lane takes exactly the
// operations one block alone would (the same sums and products in the same order), so the
// blocks' results do not depend on whether they were filtered together.
using Lanes = double __attribute__((vector_size(32)));
inline constexpr std::size_t kLanes = 4;
// The four values of one sample as stored, aligned to their size on every target (without AVX
// the vector type alone gets 16 bytes, and the AVX2 code below would load it half-aligned).
struct alignas(32) LaneValues {
    Lanes v;
};
inline double& Value(double& x) {
    return x;
}
inline Lanes& Value(LaneValues& x) {
    return x.v;
}

// A running section on one value (T = double) or on four (T = Lanes).
template <class T> class Section {
public:
    explicit Section(const Biquad& f)
        : b0_(T{} + f.b0), b1_(T{} + f.b1), b2_(T{} + f.b2), a1_(T{} + f.a1), a2_(T{} + f.a2) {}
    // Takes x and leaves the output in its place (by reference: no vector crosses a call).
    [[gnu::always_inline]] void operator()(T& x) {
        const T y = b0_ * x + s1_;
        s1_ = b1_ * x - a1_ * y + s2_;
        s2_ = b2_ * x - a2_ * y;
        x = y;
    }

private:
    T b0_, b1_, b2_, a1_, a2_;
    T s1_{};
    T s2_{};
};

// `band` and `place` (both holding the same input) filtered by two sections each, forwards and
// then backwards. The four run side by side in one loop: each is a chain of dependent steps, and
// so they overlap in the processor.
template <class T, class E>
[[gnu::always_inline]] inline void ZeroPhase(std::vector<E>& band, std::vector<E>& place,
                                             const Biquad (&f)[6]) {
    const std::size_t len = band.size();
    for (int pass = 0; pass < 2; ++pass) {
        Section<T> b1(f[0]), b2(f[1]), p1(f[2]), p2(f[3]), p3(f[4]), p4(f[5]);
        for (std::size_t i = 0; i < len; ++i) {
            const std::size_t k = pass == 0 ? i : len - 1 - i;
            b1(Value(band[k]));
            b2(Value(band[k]));
            p1(Value(place[k]));
            p2(Value(place[k]));
            p3(Value(place[k]));
            p4(Value(place[k]));
        }
    }
}

// Four blocks side by side. Where the processor has AVX2 a lane group is one instruction, not
// two: the same operations (no fused multiply-add), so the same results.
#if defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void ZeroPhaseLanes(std::vector<LaneValues>& band, std::vector<LaneValues>& place,
                    const Biquad (&f)[6]) {
    ZeroPhase<Lanes>(band, place, f);
}

// A notch at the frequency where mains of `mains` Hz falls at this rate (its alias), 5 Hz wide;
// none where that is near 0 or near half the rate (the low-pass takes it there).
Biquad MainsNotch(double mains, double rate) {
    const double f0 = std::abs(mains - rate * std::round(mains / rate));
    if (f0 < 2.0 || f0 > 0.45 * rate) {
        return {};
    }
    const double w = 2.0 * kPi * f0 / rate;
    const double alpha = std::sin(w) / (2.0 * (f0 / 5.0));
    const double norm = 1.0 / (1.0 + alpha);
    return {norm, -2.0 * std::cos(w) * norm, norm, -2.0 * std::cos(w) * norm, (1.0 - alpha) * norm};
}

// The shape of the placement signal around `centre` (a position in `place`, which reaches far
// enough either side): read between samples where the points fall between them, less its mean,
// scaled so that its largest point is 127 away from 0 (all zero where the signal is flat).
void Shape(const std::vector<double>& place, double centre, double rate,
           std::array<std::int8_t, kShapePoints>& shape) {
    std::array<double, kShapePoints> v{};
    double mean = 0.0;
    for (std::size_t k = 0; k < kShapePoints; ++k) {
        const double t =
            (static_cast<double>(k) - 0.5 * static_cast<double>(kShapePoints - 1)) * kShapeStep;
        const double x = centre + t * rate;
        const double below = std::floor(x);
        const auto j = static_cast<std::size_t>(below);
        const double f = x - below;
        v[k] = place[j] + f * (place[j + 1] - place[j]);
        mean += v[k];
    }
    mean /= static_cast<double>(kShapePoints);
    double largest = 0.0;
    for (double& x : v) {
        x -= mean;
        largest = std::max(largest, std::abs(x));
    }
    for (std::size_t k = 0; k < kShapePoints; ++k) {
        shape[k] =
            largest > 0.0 ? static_cast<std::int8_t>(std::lround(127.0 * v[k] / largest)) : 0;
    }
}

} // namespace

std::vector<Candidate> FindCandidates(std::span<const float> samples, double rate) {
    const auto n = static_cast<std::int64_t>(samples.size());
    const auto seconds = [rate](double s) {
        return std::max<std::int64_t>(1, std::llround(s * rate));
    };
    const std::int64_t step = seconds(60.0);
    const std::int64_t margin = seconds(5.0);
    const std::int64_t half = seconds(0.075);  // half the envelope's window
    const std::int64_t apart = seconds(0.1);   // a candidate's reach, and the search for its peak
    const std::int64_t around = seconds(0.25); // half the span of the local median
    const Biquad filters[6] = {
        Butterworth(5.0, rate, true), Butterworth(15.0, rate, false),
        Butterworth(0.5, rate, true), MainsNotch(50.0, rate),
        MainsNotch(60.0, rate),       Butterworth(std::min(kPlaceCutoff, 0.4 * rate), rate, false)};

    // The sample at `i`, reflected oddly about the ends of the record.
    const auto at = [&](std::int64_t i) {
        if (i < 0) {
            const auto j = static_cast<std::size_t>(std::min(-i, n - 1));
            return 2.0 * static_cast<double>(samples[0]) - static_cast<double>(samples[j]);
        }
        if (i >= n) {
            const auto j = static_cast<std::size_t>(std::max<std::int64_t>(0, 2 * (n - 1) - i));
            return 2.0 * static_cast<double>(samples.back()) - static_cast<double>(samples[j]);
        }
        return static_cast<double>(samples[static_cast<std::size_t>(i)]);
    };

    // The block that starts at `a` (a multiple of `step`), from `margin` before it to `margin`
    // after its end: from its first finite sample on (so the filters start at rest); a
    // non-finite sample holds the one before.
    const auto input = [&](std::int64_t a, std::vector<double>& place) {
        const std::int64_t lo = a - margin;
        const auto len = static_cast<std::size_t>(std::min(n, a + step) + margin - lo);
        place.resize(len);
        double origin = 0.0;
        for (std::size_t k = 0; k < len; ++k) {
            const double v = at(lo + static_cast<std::int64_t>(k));
            if (std::isfinite(v)) {
                origin = v;
                break;
            }
        }
        double held = 0.0;
        for (std::size_t k = 0; k < len; ++k) {
            const double v = at(lo + static_cast<std::int64_t>(k));
            held = std::isfinite(v) ? v - origin : held;
            place[k] = held;
        }
    };

    // The candidates of the block that starts at `a`, its signals filtered.
    std::vector<Candidate> out;
    std::vector<double> slope, envelope, scratch;
    const auto candidates = [&](std::int64_t a, const std::vector<double>& band,
                                const std::vector<double>& place) {
        const std::int64_t b = std::min(n, a + step);
        const std::int64_t lo = a - margin;
        const std::size_t len = band.size();
        slope.assign(len, 0.0);
        for (std::size_t k = 1; k + 1 < len; ++k) {
            slope[k] = (band[k + 1] - band[k - 1]) * 0.5 * rate;
        }
        envelope.assign(len, 0.0);
        const auto w = static_cast<std::size_t>(half);
        double sum = 0.0;
        for (std::size_t k = 0; k < std::min(len, 2 * w + 1); ++k) {
            sum += slope[k] * slope[k];
        }
        for (std::size_t k = w; k + w < len; ++k) {
            envelope[k] = sum; // in the order of the root mean square, taken for candidates only
            if (k + w + 1 < len) {
                sum += slope[k + w + 1] * slope[k + w + 1] - slope[k - w] * slope[k - w];
            }
        }

        const auto local = [lo](std::int64_t i) { return static_cast<std::size_t>(i - lo); };
        for (std::int64_t i = a; i < b; ++i) {
            const double e = envelope[local(i)];
            if (i == 0 || i == n - 1 ||
                !(e > envelope[local(i) - 1] && e >= envelope[local(i) + 1])) {
                continue;
            }
            // Above everything within `apart` before it and not below anything after it;
            // looked at from the nearest samples out, where a higher one mostly is.
            bool highest = true;
            for (std::int64_t d = 1; d <= apart && highest; ++d) {
                highest = envelope[local(i - d)] < e && envelope[local(i + d)] <= e;
            }
            if (!highest) {
                continue;
            }
            Candidate c;
            c.at = i;
            c.height = std::sqrt(std::max(0.0, e) / static_cast<double>(2 * half + 1));
            for (std::int64_t j = i - half; j <= i + half; ++j) {
                c.slope = std::max(c.slope, std::abs(slope[local(j)]));
            }
            const std::int64_t first = std::max<std::int64_t>(0, i - apart);
            const std::int64_t last = std::min(n - 1, i + apart);
            c.up = c.down = first;
            for (std::int64_t j = first; j <= last; ++j) {
                c.up = place[local(j)] > place[local(c.up)] ? j : c.up;
                c.down = place[local(j)] < place[local(c.down)] ? j : c.down;
            }
            const std::int64_t from = std::max<std::int64_t>(0, i - around);
            const std::int64_t to = std::min(n - 1, i + around);
            scratch.assign(place.begin() + static_cast<std::ptrdiff_t>(local(from)),
                           place.begin() + static_cast<std::ptrdiff_t>(local(to)) + 1);
            const auto mid = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
            std::nth_element(scratch.begin(), mid, scratch.end());
            c.rise = place[local(c.up)] - *mid;
            c.fall = *mid - place[local(c.down)];
            double steepest = 0.0;
            for (std::int64_t j = std::max<std::int64_t>(1, i - half);
                 j <= std::min(n - 2, i + half); ++j) {
                steepest = std::max(steepest, std::abs(place[local(j + 1)] - place[local(j - 1)]));
            }
            const double amplitude = c.rise + c.fall;
            c.sharp = amplitude > 0.0 ? steepest * 0.5 * rate / amplitude : 0.0;
            Shape(place, static_cast<double>(local(i)), rate, c.shape);
            out.push_back(c);
        }
    };

    std::array<std::vector<double>, kLanes> bands, places;
    std::vector<LaneValues> bandLanes, placeLanes;
    for (std::int64_t group = 0; group < n; group += step * static_cast<std::int64_t>(kLanes)) {
        // Four blocks of the full length are filtered side by side, any other one alone.
        std::size_t count = 0;
        for (std::size_t j = 0; j < kLanes; ++j) {
            const std::int64_t a = group + step * static_cast<std::int64_t>(j);
            if (a < n) {
                input(a, places[j]);
                bands[j] = places[j];
                count = j + 1;
            }
        }
        const std::size_t full = places[0].size();
        if (count == kLanes && places[kLanes - 1].size() == full) {
            bandLanes.resize(full);
            placeLanes.resize(full);
            for (std::size_t k = 0; k < full; ++k) {
                for (std::size_t j = 0; j < kLanes; ++j) {
                    bandLanes[k].v[j] = bands[j][k];
                    placeLanes[k].v[j] = places[j][k];
                }
            }
            ZeroPhaseLanes(bandLanes, placeLanes, filters);
            for (std::size_t k = 0; k < full; ++k) {
                for (std::size_t j = 0; j < kLanes; ++j) {
                    bands[j][k] = bandLanes[k].v[j];
                    places[j][k] = placeLanes[k].v[j];
                }
            }
        } else {
            for (std::size_t j = 0; j < count; ++j) {
                ZeroPhase<double>(bands[j], places[j], filters);
            }
        }
        for (std::size_t blk = 0; blk < count; ++blk) {
            candidates(group + step * static_cast<std::int64_t>(blk), bands[blk], places[blk]);
        }
    }
    return out;
}

} // namespace hrv::rpeak
