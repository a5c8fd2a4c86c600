// The nonlinear indices of a fragment.
#include "analysis/nonlinear.h"

#include "analysis/ticks.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdlib>

namespace hrv {

namespace {

// Sample variance (divisor count - 1) of integers from their exact sums: equal values give 0.
double SampleVariance(std::int64_t count, std::int64_t sum, std::int64_t squares) {
    if (count < 2) {
        return 0;
    }
    const std::int64_t numerator = count * squares - sum * sum; // exact, never negative
    return static_cast<double>(numerator) / static_cast<double>(count * (count - 1));
}

// SD1 and SD2 from the successive differences and sums (ms).
void Poincare(std::span<const std::uint8_t> x, NonlinearIndices& r) {
    std::int64_t dSum = 0, dSquares = 0, sSum = 0, sSquares = 0;
    for (std::size_t k = 0; k + 1 < x.size(); ++k) {
        const std::int64_t d = (std::int64_t{x[k + 1]} - x[k]) * kMsPerTick;
        const std::int64_t s = (std::int64_t{x[k + 1]} + x[k]) * kMsPerTick;
        dSum += d;
        dSquares += d * d;
        sSum += s;
        sSquares += s * s;
    }
    const auto m = static_cast<std::int64_t>(x.size()) - 1;
    r.SD1 = std::sqrt(SampleVariance(m, dSum, dSquares)) / std::sqrt(2.0);
    r.SD2 = std::sqrt(SampleVariance(m, sSum, sSquares)) / std::sqrt(2.0);
    if (r.SD2 != 0) {
        r.SD1SD2 = r.SD1 / r.SD2;
    }
}

// Sample entropy, m = 2. Intervals are whole ticks, so "differ by at most r ms" is "differ by at
// most `limit` ticks". Pairs are counted lag by lag: for lag L the templates i and i + L match in
// their first two values when both differences are within the limit.
void SampleEntropy(std::span<const std::uint8_t> x, NonlinearIndices& r) {
    const auto n = static_cast<std::int64_t>(x.size());
    std::int64_t sum = 0, squares = 0;
    for (const std::uint8_t v : x) {
        const std::int64_t ms = std::int64_t{v} * kMsPerTick;
        sum += ms;
        squares += ms * ms;
    }
    const double tolerance = 0.2 * std::sqrt(SampleVariance(n, sum, squares));
    int limit = static_cast<int>(std::floor(tolerance / kMsPerTick));
    while (static_cast<double>((limit + 1) * kMsPerTick) <= tolerance) {
        ++limit;
    }
    while (limit >= 0 && static_cast<double>(limit * kMsPerTick) > tolerance) {
        --limit;
    }
    // Templates start at positions 0..n-3 (0-based); pairs i < j. For each lag the positions
    // whose values match are marked first (one comparison per position, in byte lanes), then
    // the runs of two and three marks are counted.
    const std::int64_t templates = n - 2;
    const auto bound = static_cast<std::uint8_t>(std::clamp(limit, -1, 255) < 0 ? 0 : limit);
    const bool none = limit < 0;
    std::array<std::uint8_t, kRrCapacity> match{};
    std::int64_t b = 0, a = 0;
    const std::uint8_t* p = x.data();
    for (std::int64_t lag = 1; lag < templates && !none; ++lag) {
        const std::int64_t pairs = templates - lag;
        const std::int64_t marked = pairs + 2;
        const std::uint8_t* q = p + lag;
        const int span = static_cast<int>(marked);
        for (int i = 0; i < span; ++i) {
            const std::uint8_t d = p[i] > q[i] ? static_cast<std::uint8_t>(p[i] - q[i])
                                               : static_cast<std::uint8_t>(q[i] - p[i]);
            match[static_cast<std::size_t>(i)] = d <= bound ? 1 : 0;
        }
        const std::uint8_t* m = match.data();
        std::uint32_t bLag = 0, aLag = 0;
        const int count = static_cast<int>(pairs);
        for (int i = 0; i < count; ++i) {
            const unsigned two = static_cast<unsigned>(m[i] & m[i + 1]);
            bLag += two;
            aLag += two & m[i + 2];
        }
        b += bLag;
        a += aLag;
    }
    if (a > 0 && b > 0) {
        r.SampEn = std::log(static_cast<double>(b) / static_cast<double>(a));
    }
}

// Least-squares slope of y against x.
double Slope(std::span<const double> x, std::span<const double> y) {
    double mx = 0, my = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        mx += x[k];
        my += y[k];
    }
    mx /= static_cast<double>(x.size());
    my /= static_cast<double>(y.size());
    double sxy = 0, sxx = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        sxy += (x[k] - mx) * (y[k] - my);
        sxx += (x[k] - mx) * (x[k] - mx);
    }
    return sxy / sxx;
}

constexpr int kLargestBox = 64;

// F(s) of the profile y (0-based) for box size s; 0 when every box is a straight line.
double Fluctuation(std::span<const double> y, int s) {
    const std::size_t boxes = y.size() / static_cast<std::size_t>(s);
    const double tMean = (s + 1) / 2.0;
    double tt = 0;
    for (int t = 1; t <= s; ++t) {
        tt += (t - tMean) * (t - tMean);
    }
    double residuals = 0;
    for (std::size_t box = 0; box < boxes; ++box) {
        const double* v = y.data() + box * static_cast<std::size_t>(s);
        // One pass for the mean and the covariance with the centred positions (whose sum is 0).
        double mean = 0;
        double ty = 0;
        for (int t = 0; t < s; ++t) {
            mean += v[t];
            ty += (t + 1 - tMean) * v[t];
        }
        mean /= s;
        const double slope = ty / tt;
        for (int t = 0; t < s; ++t) {
            const double e = v[t] - mean - slope * (t + 1 - tMean);
            residuals += e * e;
        }
    }
    return std::sqrt(residuals / static_cast<double>(boxes * static_cast<std::size_t>(s)));
}

// The exponent over box sizes first..last; none when some F(s) is 0.
std::optional<double> Exponent(std::span<const double> y, int first, int last) {
    std::array<double, kLargestBox> logS{}, logF{};
    const int count = last - first + 1;
    for (int s = first; s <= last; ++s) {
        const double fs = Fluctuation(y, s);
        if (fs == 0) {
            return std::nullopt;
        }
        logS[static_cast<std::size_t>(s - first)] = std::log(static_cast<double>(s));
        logF[static_cast<std::size_t>(s - first)] = std::log(fs);
    }
    return Slope(std::span(logS.data(), static_cast<std::size_t>(count)),
                 std::span(logF.data(), static_cast<std::size_t>(count)));
}

void Dfa(std::span<const std::uint8_t> x, NonlinearIndices& r) {
    const std::size_t n = x.size();
    if (n < 64) {
        return;
    }
    std::int64_t sum = 0;
    for (const std::uint8_t v : x) {
        sum += std::int64_t{v} * kMsPerTick;
    }
    const double mean = static_cast<double>(sum) / static_cast<double>(n);
    std::array<double, kRrCapacity> profile{};
    double y = 0;
    for (std::size_t k = 0; k < n; ++k) {
        y += x[k] * kMsPerTick - mean;
        profile[k] = y;
    }
    const std::span<const double> p(profile.data(), n);
    r.DFAAlpha1 = Exponent(p, 4, 16);
    if (n >= 256) {
        r.DFAAlpha2 = Exponent(p, 16, kLargestBox);
    }
}

} // namespace

NonlinearIndices ComputeNonlinear(std::span<const std::uint8_t> ticks, const TimeIndicesData& t) {
    assert(ticks.size() >= 3 && ticks.size() <= static_cast<std::size_t>(kRrCapacity));
    NonlinearIndices r;
    Poincare(ticks, r);
    SampleEntropy(ticks, r);
    Dfa(ticks, r);
    const double modeS = static_cast<double>(t.ModeClass * kMsPerTick) / 1000.0;
    const double rangeS = static_cast<double>((t.MaxClass - t.MinClass) * kMsPerTick) / 1000.0;
    if (rangeS != 0 && modeS != 0) {
        r.SI = static_cast<double>(t.AMo) / (2.0 * modeS * rangeS);
    }
    return r;
}

NonlinearIndices ComputeNonlinear(const FragmentData& f) {
    return ComputeNonlinear(
        std::span(f.RrTicks.data() + 1, static_cast<std::size_t>(f.FragmentCount)), f.TimeIndices);
}

} // namespace hrv
