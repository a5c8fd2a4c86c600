// The standard (Task Force) analysis of beat times.
#include "standard/standard.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <numeric>
#include <stdexcept>

namespace hrv::standard {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Successive differences within this of the NNxx threshold count as equal to it: intervals taken
// from beat times in seconds carry rounding of about 1e-9 ms.
constexpr double kNnTolerance = 1e-6; // ms

std::string Num(double v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return std::string(buffer, end);
}

double Mean(std::span<const double> x) {
    return x.empty() ? 0.0
                     : std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
}

// Sample standard deviation (divisor n − 1); 0 below 2 values.
double SampleSd(std::span<const double> x) {
    if (x.size() < 2) {
        return 0;
    }
    const double m = Mean(x);
    double s = 0;
    for (const double v : x) {
        s += (v - m) * (v - m);
    }
    return std::sqrt(s / static_cast<double>(x.size() - 1));
}

// The number of grid points k / P from 0 up to and including `hz` (a small tolerance so that a
// frequency on the grid counts).
std::size_t GridCount(double hz, int pointsPerHz) {
    return static_cast<std::size_t>(std::floor(hz * pointsPerHz + 1e-9)) + 1;
}

// Points the spectra are computed at: the JSON grid to 0.5 Hz and one past HF's high edge.
std::size_t SpectrumCount(const Settings& s) {
    const auto toHf = static_cast<std::size_t>(std::ceil(s.Hf.High * s.PointsPerHz - 1e-9)) + 1;
    return std::max(GridCount(0.5, s.PointsPerHz), toHf);
}

} // namespace

std::string Validate(const Settings& s) {
    if (!(s.InterpolationHz > 0 && s.InterpolationHz <= 1000)) {
        return "interp_hz: the interpolation rate must lie in (0, 1000] Hz, not " +
               Num(s.InterpolationHz);
    }
    if (s.Detrend == Detrending::SmoothnessPriors && !(s.Lambda >= 1 && s.Lambda <= 1e6)) {
        return "lambda: the smoothness parameter must lie in [1, 1000000] samples, not " +
               Num(s.Lambda);
    }
    if (!(s.WelchWindowS > 0 && s.WelchWindowS <= 86400)) {
        return "welch_window_s: the Welch window must lie in (0, 86400] s, not " +
               Num(s.WelchWindowS);
    }
    if (!(s.WelchWindowS * s.InterpolationHz >= 4)) {
        return "welch_window_s: the Welch window holds fewer than 4 samples at " +
               Num(s.InterpolationHz) + " Hz";
    }
    if (!(s.WelchOverlapPercent >= 0 && s.WelchOverlapPercent < 100)) {
        return "welch_overlap_percent: the overlap must lie in [0, 100) %, not " +
               Num(s.WelchOverlapPercent);
    }
    if (s.ArOrder < 1 || s.ArOrder > 100) {
        return "ar_order: the AR model order must lie in 1..100, not " + std::to_string(s.ArOrder);
    }
    if (s.PointsPerHz < 1 || s.PointsPerHz > 100000) {
        return "points_per_hz: the frequency grid must have 1..100000 points per Hz, not " +
               std::to_string(s.PointsPerHz);
    }
    if (!(s.NnThresholdMs > 0 && s.NnThresholdMs < 10000)) {
        return "nn_threshold_ms: the NNxx threshold must lie in (0, 10000) ms, not " +
               Num(s.NnThresholdMs);
    }
    if (s.HrAverageBeats < 1 || s.HrAverageBeats > 1000) {
        return "hr_average_beats: min/max HR must average 1..1000 beats, not " +
               std::to_string(s.HrAverageBeats);
    }
    if (!(s.SegmentS > 0 && s.SegmentS <= 86400)) {
        return "segment_s: the SDANN segment must lie in (0, 86400] s, not " + Num(s.SegmentS);
    }
    const Band* bands[] = {&s.Vlf, &s.Lf, &s.Hf};
    const char* names[] = {"vlf", "lf", "hf"};
    for (int b = 0; b < 3; ++b) {
        if (!(bands[b]->Low >= 0 && bands[b]->Low < bands[b]->High)) {
            return std::string("bands: ") + names[b] + " must have 0 <= low < high, not " +
                   Num(bands[b]->Low) + ".." + Num(bands[b]->High) + " Hz";
        }
        if (b > 0 && bands[b]->Low < bands[b - 1]->High) {
            return std::string("bands: ") + names[b] + " (from " + Num(bands[b]->Low) +
                   " Hz) overlaps " + names[b - 1] + " (to " + Num(bands[b - 1]->High) + " Hz)";
        }
    }
    if (s.Hf.High > s.InterpolationHz / 2) {
        return "bands: hf ends at " + Num(s.Hf.High) + " Hz, above the Nyquist rate " +
               Num(s.InterpolationHz / 2) + " Hz of interp_hz";
    }
    return {};
}

NnSeries NnFromBeatTimes(std::span<const double> beatTimesS) {
    NnSeries nn;
    for (std::size_t i = 1; i < beatTimesS.size(); ++i) {
        nn.TimeS.push_back(beatTimesS[i]);
        nn.RrMs.push_back((beatTimesS[i] - beatTimesS[i - 1]) * 1000);
    }
    return nn;
}

std::vector<double> BeatTimesFromIntervals(std::span<const double> rrMs) {
    std::vector<double> t{0.0};
    double sumMs = 0;
    for (const double r : rrMs) {
        sumMs += r;
        t.push_back(sumMs / 1000);
    }
    return t;
}

std::vector<double> SplineNotAKnot(std::span<const double> x, std::span<const double> y,
                                   double rateHz) {
    const std::size_t n = x.size();
    if (n < 2) {
        return {};
    }
    // Second derivatives M at the knots.
    std::vector<double> m(n, 0.0);
    if (n == 3) {
        // The parabola through the three points.
        const double d0 = (y[1] - y[0]) / (x[1] - x[0]), d1 = (y[2] - y[1]) / (x[2] - x[1]);
        std::fill(m.begin(), m.end(), 2 * (d1 - d0) / (x[2] - x[0]));
    } else if (n >= 4) {
        std::vector<double> h(n - 1), d(n - 1);
        for (std::size_t i = 0; i + 1 < n; ++i) {
            h[i] = x[i + 1] - x[i];
            d[i] = (y[i + 1] - y[i]) / h[i];
        }
        // Rows 1..n−2 of h[i−1]M[i−1] + 2(h[i−1]+h[i])M[i] + h[i]M[i+1] = 6(d[i]−d[i−1]), with
        // M[0] and M[n−1] eliminated by the not-a-knot ends (third derivative continuous at
        // x[1] and x[n−2]): a tridiagonal system in M[1..n−2], solved by elimination.
        const std::size_t k = n - 2;
        std::vector<double> lower(k), diag(k), upper(k), rhs(k);
        for (std::size_t r = 0; r < k; ++r) {
            const std::size_t i = r + 1;
            lower[r] = h[i - 1];
            diag[r] = 2 * (h[i - 1] + h[i]);
            upper[r] = h[i];
            rhs[r] = 6 * (d[i] - d[i - 1]);
        }
        // M[0] = ((h0 + h1) M1 − h0 M2) / h1.
        diag[0] += h[0] * (h[0] + h[1]) / h[1];
        upper[0] -= h[0] * h[0] / h[1];
        // M[n−1] = ((h[n−3] + h[n−2]) M[n−2] − h[n−2] M[n−3]) / h[n−3].
        const double ha = h[n - 3], hb = h[n - 2];
        if (k == 1) {
            diag[0] += hb * (ha + hb) / ha;
        } else {
            diag[k - 1] += hb * (ha + hb) / ha;
            lower[k - 1] -= hb * hb / ha;
        }
        for (std::size_t r = 1; r < k; ++r) {
            const double f = lower[r] / diag[r - 1];
            diag[r] -= f * upper[r - 1];
            rhs[r] -= f * rhs[r - 1];
        }
        m[k] = rhs[k - 1] / diag[k - 1];
        for (std::size_t r = k - 1; r-- > 0;) {
            m[r + 1] = (rhs[r] - upper[r] * m[r + 2]) / diag[r];
        }
        m[0] = ((h[0] + h[1]) * m[1] - h[0] * m[2]) / h[1];
        m[n - 1] = ((ha + hb) * m[n - 2] - hb * m[n - 3]) / ha;
    }
    const auto count = static_cast<std::size_t>(std::floor((x[n - 1] - x[0]) * rateHz + 1e-9)) + 1;
    std::vector<double> out(count);
    std::size_t i = 0;
    for (std::size_t s = 0; s < count; ++s) {
        const double t = x[0] + static_cast<double>(s) / rateHz;
        while (i + 2 < n && t > x[i + 1]) {
            ++i;
        }
        const double hi = x[i + 1] - x[i];
        const double a = (x[i + 1] - t) / hi, b = (t - x[i]) / hi;
        out[s] = a * y[i] + b * y[i + 1] +
                 ((a * a * a - a) * m[i] + (b * b * b - b) * m[i + 1]) * hi * hi / 6;
    }
    return out;
}

std::vector<double> RemoveMean(std::span<const double> z) {
    const double m = Mean(z);
    std::vector<double> out(z.begin(), z.end());
    for (double& v : out) {
        v -= m;
    }
    return out;
}

std::vector<double> DetrendPriors(std::span<const double> z, double lambda) {
    const std::size_t n = z.size();
    std::vector<double> out(z.begin(), z.end());
    if (n < 3) {
        // No second difference: the trend is the series itself.
        std::fill(out.begin(), out.end(), 0.0);
        return out;
    }
    // The bands of A = I + λ²D₂ᵀD₂: a0 on the diagonal, a1 and a2 beside it.
    const double l2 = lambda * lambda;
    std::vector<double> a0(n, 0.0), a1(n, 0.0), a2(n, 0.0);
    for (std::size_t r = 0; r + 2 < n; ++r) {
        a0[r] += 1;
        a0[r + 1] += 4;
        a0[r + 2] += 1;
        a1[r] -= 2;
        a1[r + 1] -= 2;
        a2[r] += 1;
    }
    for (std::size_t i = 0; i < n; ++i) {
        a0[i] = 1 + l2 * a0[i];
        a1[i] *= l2;
        a2[i] *= l2;
    }
    // A = L D Lᵀ with L unit lower triangular of bands l1 (i+1, i) and l2b (i+2, i).
    std::vector<double> dd(n), l1(n, 0.0), l2b(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        double di = a0[i];
        if (i >= 1) {
            di -= l1[i - 1] * l1[i - 1] * dd[i - 1];
        }
        if (i >= 2) {
            di -= l2b[i - 2] * l2b[i - 2] * dd[i - 2];
        }
        dd[i] = di;
        if (i + 1 < n) {
            double e = a1[i];
            if (i >= 1) {
                e -= l2b[i - 1] * l1[i - 1] * dd[i - 1];
            }
            l1[i] = e / di;
        }
        if (i + 2 < n) {
            l2b[i] = a2[i] / di;
        }
    }
    // Solve A trend = z.
    std::vector<double> w(z.begin(), z.end());
    for (std::size_t i = 1; i < n; ++i) {
        w[i] -= l1[i - 1] * w[i - 1];
        if (i >= 2) {
            w[i] -= l2b[i - 2] * w[i - 2];
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        w[i] /= dd[i];
    }
    for (std::size_t i = n - 1; i-- > 0;) {
        w[i] -= l1[i] * w[i + 1];
        if (i + 2 < n) {
            w[i] -= l2b[i] * w[i + 2];
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = z[i] - w[i];
    }
    return out;
}

namespace {

// cos and sin of 2πj/M for j < M, for grids where fs·P is the whole number M (else empty).
struct PhaseTable {
    std::size_t M = 0;
    const std::vector<double>* Cos = nullptr;
    const std::vector<double>* Sin = nullptr;
};

PhaseTable PhasesFor(double rateHz, int pointsPerHz) {
    const double mReal = rateHz * pointsPerHz;
    const auto m = static_cast<std::size_t>(std::llround(mReal));
    if (m == 0 || std::abs(mReal - static_cast<double>(m)) >= 1e-9 || m > (1u << 22)) {
        return {};
    }
    thread_local std::vector<double> cosT, sinT;
    if (cosT.size() != m) {
        cosT.resize(m);
        sinT.resize(m);
        for (std::size_t j = 0; j < m; ++j) {
            const double ph = kTwoPi * static_cast<double>(j) / static_cast<double>(m);
            cosT[j] = std::cos(ph);
            sinT[j] = std::sin(ph);
        }
    }
    return {m, &cosT, &sinT};
}

// |X(f_k)|² of w·x at f_k = k / P for k < count, fs the rate. When fs·P is a whole number M the
// phases 2πkn/M come from one table of M values (exact, no drift); otherwise each is computed.
void AddSegmentPower(std::span<const double> wx, double rateHz, int pointsPerHz,
                     std::span<double> power) {
    const double mReal = rateHz * pointsPerHz;
    const std::size_t len = wx.size();
    if (const PhaseTable t = PhasesFor(rateHz, pointsPerHz); t.M > 0) {
        const std::size_t mWhole = t.M;
        const double* cosT = t.Cos->data();
        const double* sinT = t.Sin->data();
        for (std::size_t k = 0; k < power.size(); ++k) {
            const std::size_t step = k % mWhole;
            // Four partial sums (n mod 4), added in a fixed order.
            double r0 = 0, r1 = 0, r2 = 0, r3 = 0, i0 = 0, i1 = 0, i2 = 0, i3 = 0;
            // The phase index of each lane, kn mod M, advanced by 4k mod M.
            const std::size_t step4 = 4 * step % mWhole;
            auto advance = [&](std::size_t a, std::size_t by) {
                a += by;
                return a >= mWhole ? a - mWhole : a;
            };
            std::size_t a0 = 0, a1 = step, a2 = advance(a1, step), a3 = advance(a2, step);
            std::size_t n = 0;
            for (; n + 4 <= len; n += 4) {
                r0 += wx[n] * cosT[a0];
                i0 += wx[n] * sinT[a0];
                r1 += wx[n + 1] * cosT[a1];
                i1 += wx[n + 1] * sinT[a1];
                r2 += wx[n + 2] * cosT[a2];
                i2 += wx[n + 2] * sinT[a2];
                r3 += wx[n + 3] * cosT[a3];
                i3 += wx[n + 3] * sinT[a3];
                a0 = advance(a0, step4);
                a1 = advance(a1, step4);
                a2 = advance(a2, step4);
                a3 = advance(a3, step4);
            }
            for (; n < len; ++n) {
                r0 += wx[n] * cosT[a0];
                i0 += wx[n] * sinT[a0];
                a0 = advance(a0, step);
            }
            const double r = (r0 + r1) + (r2 + r3);
            const double i = (i0 + i1) + (i2 + i3);
            power[k] += r * r + i * i;
        }
        return;
    }
    for (std::size_t k = 0; k < power.size(); ++k) {
        const double w = kTwoPi * static_cast<double>(k) / mReal;
        double re = 0, im = 0;
        for (std::size_t n = 0; n < len; ++n) {
            re += wx[n] * std::cos(w * static_cast<double>(n));
            im += wx[n] * std::sin(w * static_cast<double>(n));
        }
        power[k] += re * re + im * im;
    }
}

} // namespace

Spectrum WelchPsd(std::span<const double> z, double rateHz, double windowS, double overlapPercent,
                  int pointsPerHz, std::size_t count) {
    Spectrum s;
    s.PointsPerHz = pointsPerHz;
    s.Psd.assign(count, 0.0);
    const std::size_t n = z.size();
    if (n < 2) {
        return s;
    }
    auto len = static_cast<std::size_t>(std::llround(windowS * rateHz));
    std::size_t step = 1, segments = 1;
    if (n < len) {
        len = n;
    } else {
        const auto overlap =
            static_cast<std::size_t>(std::llround(static_cast<double>(len) * overlapPercent / 100));
        step = std::max<std::size_t>(1, len - std::min(overlap, len - 1));
        segments = (n - len) / step + 1;
    }
    std::vector<double> w(len), wx(len);
    double sumW2 = 0;
    for (std::size_t i = 0; i < len; ++i) {
        w[i] = 0.5 -
               0.5 * std::cos(kTwoPi * static_cast<double>(i + 1) / static_cast<double>(len + 1));
        sumW2 += w[i] * w[i];
    }
    for (std::size_t g = 0; g < segments; ++g) {
        for (std::size_t i = 0; i < len; ++i) {
            wx[i] = w[i] * z[g * step + i];
        }
        AddSegmentPower(wx, rateHz, pointsPerHz, s.Psd);
    }
    const double scale = 2 / (rateHz * sumW2 * static_cast<double>(segments));
    for (std::size_t k = 0; k < count; ++k) {
        s.Psd[k] *= k == 0 ? scale / 2 : scale;
    }
    return s;
}

ArModel Burg(std::span<const double> z, int order) {
    const std::size_t n = z.size();
    ArModel m;
    m.A.assign(1, 1.0);
    if (n == 0) {
        return m;
    }
    std::vector<double> ef(z.begin(), z.end()), eb(z.begin(), z.end());
    double e = 0;
    for (const double v : z) {
        e += v * v;
    }
    e /= static_cast<double>(n);
    for (int p = 1; p <= order && static_cast<std::size_t>(p) < n; ++p) {
        // Forward errors ef[i] and backward errors eb[i − 1] for i = p .. n − 1.
        double num = 0, den = 0;
        for (std::size_t i = static_cast<std::size_t>(p); i < n; ++i) {
            num += ef[i] * eb[i - 1];
            den += ef[i] * ef[i] + eb[i - 1] * eb[i - 1];
        }
        const double k = den > 0 ? -2 * num / den : 0.0;
        for (std::size_t i = n - 1; i >= static_cast<std::size_t>(p); --i) {
            const double f = ef[i], b = eb[i - 1];
            ef[i] = f + k * b;
            eb[i] = b + k * f;
        }
        std::vector<double> a(m.A.size() + 1, 0.0);
        for (std::size_t i = 0; i < a.size(); ++i) {
            const double fwd = i < m.A.size() ? m.A[i] : 0.0;
            const double bwd = i >= 1 ? m.A[a.size() - 1 - i] : 0.0;
            a[i] = fwd + k * bwd;
        }
        m.A = std::move(a);
        e *= 1 - k * k;
    }
    m.Variance = e;
    return m;
}

ArModel ForwardBackward(std::span<const double> z, int order) {
    const std::size_t n = z.size();
    const auto p = static_cast<std::size_t>(order);
    ArModel m;
    m.A.assign(1, 1.0);
    if (n <= p || p == 0) {
        return m;
    }
    // C(i, j) = Σ_{k=p}^{n−1} (z[k−i]z[k−j] + z[k−p+i]z[k−p+j]), i, j = 0..p: its first row
    // summed, the others from the one before by the two end terms of each sum.
    std::vector<std::vector<double>> f(p + 1, std::vector<double>(p + 1, 0.0)), b = f;
    for (std::size_t j = 0; j <= p; ++j) {
        double fs = 0, bs = 0;
        for (std::size_t k = p; k < n; ++k) {
            fs += z[k] * z[k - j];
            bs += z[k - p] * z[k - p + j];
        }
        f[0][j] = fs;
        b[0][j] = bs;
    }
    for (std::size_t i = 0; i < p; ++i) {
        for (std::size_t j = i; j < p; ++j) {
            f[i + 1][j + 1] = f[i][j] + z[p - 1 - i] * z[p - 1 - j] - z[n - 1 - i] * z[n - 1 - j];
            b[i + 1][j + 1] = b[i][j] - z[i] * z[j] + z[n - p + i] * z[n - p + j];
        }
    }
    auto c = [&](std::size_t i, std::size_t j) {
        return i <= j ? f[i][j] + b[i][j] : f[j][i] + b[j][i];
    };
    // Σ_{j=1}^{p} aⱼ C(i, j) = −C(i, 0), i = 1..p, by elimination with partial pivoting.
    std::vector<std::vector<double>> a(p, std::vector<double>(p + 1));
    for (std::size_t i = 0; i < p; ++i) {
        for (std::size_t j = 0; j < p; ++j) {
            a[i][j] = c(i + 1, j + 1);
        }
        a[i][p] = -c(i + 1, 0);
    }
    for (std::size_t col = 0; col < p; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < p; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) {
                pivot = r;
            }
        }
        std::swap(a[col], a[pivot]);
        if (a[col][col] == 0) {
            return m; // a series without variation
        }
        for (std::size_t r = col + 1; r < p; ++r) {
            const double factor = a[r][col] / a[col][col];
            for (std::size_t j = col; j <= p; ++j) {
                a[r][j] -= factor * a[col][j];
            }
        }
    }
    m.A.assign(p + 1, 0.0);
    m.A[0] = 1;
    for (std::size_t i = p; i-- > 0;) {
        double sum = a[i][p];
        for (std::size_t j = i + 1; j < p; ++j) {
            sum -= a[i][j] * m.A[j + 1];
        }
        m.A[i + 1] = sum / a[i][i];
    }
    double e = 0;
    for (std::size_t j = 0; j <= p; ++j) {
        e += m.A[j] * c(0, j);
    }
    m.Variance = std::max(0.0, e) / (2 * static_cast<double>(n));
    return m;
}

Spectrum ArPsd(const ArModel& m, double rateHz, int pointsPerHz, std::size_t count) {
    Spectrum s;
    s.PointsPerHz = pointsPerHz;
    s.Psd.assign(count, 0.0);
    const PhaseTable t = PhasesFor(rateHz, pointsPerHz);
    for (std::size_t k = 0; k < count; ++k) {
        const double w = kTwoPi * static_cast<double>(k) / (pointsPerHz * rateHz);
        double re = 0, im = 0;
        for (std::size_t j = 0; j < m.A.size(); ++j) {
            if (t.M > 0) {
                const std::size_t idx = (k % t.M) * j % t.M;
                re += m.A[j] * (*t.Cos)[idx];
                im -= m.A[j] * (*t.Sin)[idx];
            } else {
                re += m.A[j] * std::cos(w * static_cast<double>(j));
                im -= m.A[j] * std::sin(w * static_cast<double>(j));
            }
        }
        const double two = k == 0 ? 1.0 : 2.0;
        s.Psd[k] = two * m.Variance / (rateHz * (re * re + im * im));
    }
    return s;
}

Spectrum LombPsd(std::span<const double> t, std::span<const double> y, int pointsPerHz,
                 std::size_t count) {
    Spectrum s;
    s.PointsPerHz = pointsPerHz;
    s.Psd.assign(count, 0.0);
    const std::size_t n = t.size();
    if (n < 3 || count < 2) {
        return s;
    }
    const double mean = Mean(y);
    // Per frequency: C = Σ y cos ωt, S = Σ y sin ωt, C2 = Σ cos 2ωt, S2 = Σ sin 2ωt, the phases
    // advanced from one grid frequency to the next by a rotation (t from the first time).
    std::vector<double> c(count, 0.0), sn(count, 0.0), c2(count, 0.0), s2(count, 0.0);
    const double dw = kTwoPi / pointsPerHz;
    // Each sample's phasor e^{iωt} and its step e^{iΔω t}; the sums over the samples in four
    // partial sums (j mod 4), added in a fixed order.
    std::vector<double> pc(n, 1.0), ps(n, 0.0), rc(n), rs(n), dev(n);
    for (std::size_t j = 0; j < n; ++j) {
        rc[j] = std::cos(dw * (t[j] - t[0]));
        rs[j] = std::sin(dw * (t[j] - t[0]));
        dev[j] = y[j] - mean;
    }
    for (std::size_t k = 1; k < count; ++k) {
        double sum[4][4] = {}; // [lane][C, S, C2, S2]
        auto add = [&](double* lane, std::size_t j) {
            const double nc = pc[j] * rc[j] - ps[j] * rs[j];
            ps[j] = pc[j] * rs[j] + ps[j] * rc[j];
            pc[j] = nc;
            lane[0] += dev[j] * pc[j];
            lane[1] += dev[j] * ps[j];
            lane[2] += pc[j] * pc[j] - ps[j] * ps[j];
            lane[3] += 2 * pc[j] * ps[j];
        };
        std::size_t j = 0;
        for (; j + 4 <= n; j += 4) {
            add(sum[0], j);
            add(sum[1], j + 1);
            add(sum[2], j + 2);
            add(sum[3], j + 3);
        }
        for (; j < n; ++j) {
            add(sum[0], j);
        }
        c[k] = (sum[0][0] + sum[1][0]) + (sum[2][0] + sum[3][0]);
        sn[k] = (sum[0][1] + sum[1][1]) + (sum[2][1] + sum[3][1]);
        c2[k] = (sum[0][2] + sum[1][2]) + (sum[2][2] + sum[3][2]);
        s2[k] = (sum[0][3] + sum[1][3]) + (sum[2][3] + sum[3][3]);
    }
    const double nn = static_cast<double>(n);
    const double scale = 2 * (t[n - 1] - t[0]) / nn;
    for (std::size_t k = 1; k < count; ++k) {
        // τ from tan 2ωτ = S2 / C2; then Σcos² ω(t−τ) = (N + R)/2, Σsin² = (N − R)/2.
        const double r = std::hypot(c2[k], s2[k]);
        const double half = 0.5 * std::atan2(s2[k], c2[k]);
        const double ct = std::cos(half), st = std::sin(half);
        const double yc = ct * c[k] + st * sn[k], ys = ct * sn[k] - st * c[k];
        const double cc = (nn + r) / 2, ss = (nn - r) / 2;
        double p = 0;
        if (cc > 1e-12 * nn) {
            p += yc * yc / cc;
        }
        if (ss > 1e-12 * nn) {
            p += ys * ys / ss;
        }
        s.Psd[k] = scale * p / 2;
    }
    return s;
}

double IntegrateBand(const Spectrum& s, double low, double high) {
    const std::size_t count = s.Psd.size();
    if (count < 2 || !(high > low)) {
        return 0;
    }
    const double df = 1.0 / s.PointsPerHz;
    auto at = [&](double f) {
        const double x = std::clamp(f * s.PointsPerHz, 0.0, static_cast<double>(count - 1));
        const auto i = std::min(static_cast<std::size_t>(x), count - 2);
        const double u = x - static_cast<double>(i);
        return s.Psd[i] + u * (s.Psd[i + 1] - s.Psd[i]);
    };
    // Grid points strictly inside (low, high).
    const auto first = static_cast<std::size_t>(std::floor(low * s.PointsPerHz + 1e-9)) + 1;
    const auto lastRaw = std::ceil(high * s.PointsPerHz - 1e-9) - 1;
    const std::size_t last =
        std::min<std::size_t>(lastRaw < 0 ? 0 : static_cast<std::size_t>(lastRaw), count - 1);
    if (first > last) {
        return (high - low) * (at(low) + at(high)) / 2;
    }
    double sum = (s.Frequency(first) - low) * (at(low) + s.Psd[first]) / 2;
    for (std::size_t k = first; k < last; ++k) {
        sum += df * (s.Psd[k] + s.Psd[k + 1]) / 2;
    }
    sum += (high - s.Frequency(last)) * (s.Psd[last] + at(high)) / 2;
    return sum;
}

BandPowers ComputeBands(const Spectrum& s, const Settings& settings) {
    BandPowers b;
    b.Vlf = IntegrateBand(s, settings.Vlf.Low, settings.Vlf.High);
    b.Lf = IntegrateBand(s, settings.Lf.Low, settings.Lf.High);
    b.Hf = IntegrateBand(s, settings.Hf.Low, settings.Hf.High);
    b.Total = IntegrateBand(s, settings.Vlf.Low, settings.Hf.High);
    if (b.Total > 0) {
        b.VlfRel = 100 * b.Vlf / b.Total;
        b.LfRel = 100 * b.Lf / b.Total;
        b.HfRel = 100 * b.Hf / b.Total;
    }
    if (b.Total - b.Vlf > 0) {
        b.LfNu = 100 * b.Lf / (b.Total - b.Vlf);
        b.HfNu = 100 * b.Hf / (b.Total - b.Vlf);
    }
    if (b.Hf > 0) {
        b.LfHf = b.Lf / b.Hf;
    }
    auto peak = [&](const Band& band) -> std::optional<double> {
        std::optional<double> best;
        double top = -1;
        for (std::size_t k = 0; k < s.Psd.size(); ++k) {
            const double f = s.Frequency(k);
            if (f >= band.Low - 1e-12 && f < band.High - 1e-12 && s.Psd[k] > top) {
                top = s.Psd[k];
                best = f;
            }
        }
        return best;
    };
    b.VlfPeak = peak(settings.Vlf);
    b.LfPeak = peak(settings.Lf);
    b.HfPeak = peak(settings.Hf);
    return b;
}

namespace {

// The trend of the 4 Hz series (x0 + k / rate) at time t, linear between samples.
double TrendAt(std::span<const double> trend, double x0, double rateHz, double t) {
    const std::size_t n = trend.size();
    if (n == 1) {
        return trend[0];
    }
    const double x = std::max(0.0, (t - x0) * rateHz);
    const auto i = std::min(static_cast<std::size_t>(x), n - 2);
    const double u = x - static_cast<double>(i);
    return trend[i] + u * (trend[i + 1] - trend[i]);
}

void TimeDomain(std::span<const double> rr, const Settings& s, Result& r) {
    const std::size_t n = rr.size();
    r.SDNN = SampleSd(rr);
    std::vector<double> d(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        d[i] = rr[i + 1] - rr[i];
    }
    double sq = 0;
    const double dMean = s.RmssdCentred ? Mean(d) : 0.0;
    for (const double v : d) {
        sq += (v - dMean) * (v - dMean);
    }
    r.RMSSD = std::sqrt(sq / static_cast<double>(d.size()));
    r.SDSD = SampleSd(d);
    r.NNxx = static_cast<int>(std::count_if(d.begin(), d.end(), [&](double v) {
        return std::abs(v) > s.NnThresholdMs + kNnTolerance;
    }));
    r.pNNxx = 100.0 * r.NNxx / static_cast<double>(d.size());
    std::vector<double> hr(n);
    for (std::size_t i = 0; i < n; ++i) {
        hr[i] = 60000 / rr[i];
    }
    r.SDHR = SampleSd(hr);
    // Poincaré: the spread across and along the identity line of (RR[i], RR[i+1]).
    std::vector<double> sums(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        sums[i] = rr[i + 1] + rr[i];
    }
    r.SD1 = r.SDSD / std::numbers::sqrt2;
    r.SD2 = SampleSd(sums) / std::numbers::sqrt2;
}

} // namespace

namespace {

// The analysis of the series `nn` whose first interval starts at `firstBeatS`.
Result AnalyseSeries(const NnSeries& nn, double firstBeatS, const Settings& settings) {
    if (const std::string e = Validate(settings); !e.empty()) {
        throw std::invalid_argument(e);
    }
    if (nn.RrMs.size() < 3) {
        throw std::invalid_argument("beat times: " + std::to_string(nn.RrMs.size() + 1) +
                                    " beats, the analysis needs at least 4 (3 intervals)");
    }
    for (std::size_t i = 0; i < nn.RrMs.size(); ++i) {
        if (!(nn.RrMs[i] > 0) || !std::isfinite(nn.RrMs[i]) || !std::isfinite(nn.TimeS[i])) {
            throw std::invalid_argument("beat times: beat " + std::to_string(i + 1) +
                                        " does not follow the one before it");
        }
        if (nn.RrMs[i] > settings.WelchWindowS * 1000) {
            throw std::invalid_argument("welch_window_s: the gap of " + Num(nn.RrMs[i] / 1000) +
                                        " s after beat " + std::to_string(i) +
                                        " is longer than the Welch window of " +
                                        Num(settings.WelchWindowS) + " s");
        }
    }
    Result r;
    r.Used = settings;
    r.Beats = nn.RrMs.size() + 1;
    const std::size_t n = nn.RrMs.size();

    // Indices of the series as it stands.
    r.MeanRR = Mean(nn.RrMs);
    r.MeanHR = 60000 / r.MeanRR;
    {
        // Each window summed afresh, so that a one-beat average is 60000/RR exactly.
        const std::size_t span = std::min<std::size_t>(settings.HrAverageBeats, n);
        r.MinHR = 1e300;
        r.MaxHR = -1e300;
        for (std::size_t i = 0; i + span <= n; ++i) {
            double sum = 0;
            for (std::size_t j = i; j < i + span; ++j) {
                sum += 60000 / nn.RrMs[j];
            }
            const double avg = sum / static_cast<double>(span);
            r.MinHR = std::min(r.MinHR, avg);
            r.MaxHR = std::max(r.MaxHR, avg);
        }
    }
    {
        // Segments of equal beat counts: as many intervals as end within S of the first one's
        // end, one after the other; an incomplete last one is left out.
        const auto reach = std::upper_bound(nn.TimeS.begin(), nn.TimeS.end(),
                                            nn.TimeS.front() + settings.SegmentS);
        const auto count = static_cast<std::size_t>(reach - nn.TimeS.begin());
        std::vector<double> means, sds;
        for (std::size_t first = 0; count >= 2 && first + count <= n; first += count) {
            const std::span<const double> seg(nn.RrMs.data() + first, count);
            means.push_back(Mean(seg));
            sds.push_back(SampleSd(seg));
        }
        const double duration = nn.TimeS.back() - firstBeatS;
        if (duration >= 2 * settings.SegmentS && means.size() >= 2) {
            r.SDANN = SampleSd(means);
            r.SDNNI = Mean(sds);
        }
    }

    // The interpolated series, its trend removed.
    const std::vector<double> z = SplineNotAKnot(nn.TimeS, nn.RrMs, settings.InterpolationHz);
    const std::vector<double> zs = settings.Detrend == Detrending::SmoothnessPriors
                                       ? DetrendPriors(z, settings.Lambda)
                                       : RemoveMean(z);

    // Variability indices: with priors on, of the intervals less the trend at their beats.
    if (settings.Detrend == Detrending::SmoothnessPriors) {
        std::vector<double> trend(z.size());
        for (std::size_t i = 0; i < z.size(); ++i) {
            trend[i] = z[i] - zs[i];
        }
        std::vector<double> detrended(n);
        for (std::size_t i = 0; i < n; ++i) {
            detrended[i] = nn.RrMs[i] -
                           TrendAt(trend, nn.TimeS[0], settings.InterpolationHz, nn.TimeS[i]) +
                           r.MeanRR;
        }
        TimeDomain(detrended, settings, r);
    } else {
        TimeDomain(nn.RrMs, settings, r);
    }

    const std::size_t count = SpectrumCount(settings);
    const auto order = static_cast<std::size_t>(settings.ArOrder);
    if (zs.size() >= 4) {
        SpectrumResult w;
        w.Psd = WelchPsd(zs, settings.InterpolationHz, settings.WelchWindowS,
                         settings.WelchOverlapPercent, settings.PointsPerHz, count);
        w.Bands = ComputeBands(w.Psd, settings);
        r.Welch = std::move(w);
    } else {
        r.Notes.push_back("welch: " + std::to_string(zs.size()) +
                          " samples of the interpolated series, at least 4 needed");
    }
    if (zs.size() > 2 * order) {
        SpectrumResult a;
        const ArModel model = settings.Ar == ArMethod::Burg ? Burg(zs, settings.ArOrder)
                                                            : ForwardBackward(zs, settings.ArOrder);
        a.Psd = ArPsd(model, settings.InterpolationHz, settings.PointsPerHz, count);
        a.Bands = ComputeBands(a.Psd, settings);
        r.Ar = std::move(a);
    } else {
        r.Notes.push_back("ar_order: order " + std::to_string(order) + " needs more than " +
                          std::to_string(2 * order) +
                          " samples of the interpolated series, there are " +
                          std::to_string(zs.size()));
    }
    {
        SpectrumResult l;
        l.Psd = LombPsd(nn.TimeS, nn.RrMs, settings.PointsPerHz, count);
        l.Bands = ComputeBands(l.Psd, settings);
        r.Lomb = std::move(l);
    }
    return r;
}

} // namespace

Result Analyse(std::span<const double> beatTimesS, const Settings& settings) {
    if (beatTimesS.empty()) {
        throw std::invalid_argument(
            "beat times: 0 beats, the analysis needs at least 4 (3 intervals)");
    }
    return AnalyseSeries(NnFromBeatTimes(beatTimesS), beatTimesS[0], settings);
}

Result AnalyseIntervals(std::span<const double> rrMs, const Settings& settings) {
    NnSeries nn;
    nn.RrMs.assign(rrMs.begin(), rrMs.end());
    const std::vector<double> beats = BeatTimesFromIntervals(rrMs);
    nn.TimeS.assign(beats.begin() + 1, beats.end());
    return AnalyseSeries(nn, 0, settings);
}

namespace {

// Keys in the order written; numbers shortest round-trip, null when not finite or absent.
class Json {
public:
    Json& Key(const char* key) {
        if (!first_) {
            text_ += ", ";
        }
        first_ = false;
        text_ += '"';
        text_ += key;
        text_ += "\": ";
        return *this;
    }
    Json& Real(const char* key, std::optional<double> v) {
        Key(key);
        text_ += v && std::isfinite(*v) ? Num(*v) : "null";
        return *this;
    }
    Json& Raw(const char* key, const std::string& raw) {
        Key(key);
        text_ += raw;
        return *this;
    }
    std::string Done() const { return "{" + text_ + "}"; }

private:
    std::string text_;
    bool first_ = true;
};

std::string BandJson(const Band& b) {
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "[" + std::string&&.
    std::string out = "[";
    out += Num(b.Low);
    out += ", ";
    out += Num(b.High);
    out += ']';
    return out;
}

std::string SpectrumJson(const std::optional<SpectrumResult>& s, bool spectra) {
    if (!s) {
        return "null";
    }
    const BandPowers& b = s->Bands;
    Json j;
    j.Real("VLF", b.Vlf).Real("LF", b.Lf).Real("HF", b.Hf).Real("Total", b.Total);
    j.Real("VLF_rel", b.VlfRel).Real("LF_rel", b.LfRel).Real("HF_rel", b.HfRel);
    j.Real("LF_nu", b.LfNu).Real("HF_nu", b.HfNu).Real("LFHF", b.LfHf);
    j.Real("VLF_peak", b.VlfPeak).Real("LF_peak", b.LfPeak).Real("HF_peak", b.HfPeak);
    if (spectra) {
        const std::size_t count = std::min(s->Psd.Psd.size(), GridCount(0.5, s->Psd.PointsPerHz));
        std::string psd = "[";
        for (std::size_t k = 0; k < count; ++k) {
            psd += k ? ", " : "";
            psd += std::isfinite(s->Psd.Psd[k]) ? Num(s->Psd.Psd[k]) : "null";
        }
        j.Raw("psd", psd + "]");
    }
    return j.Done();
}

} // namespace

std::string ToJson(const Result& r, bool spectra) {
    const Settings& s = r.Used;
    Json set;
    set.Real("interp_hz", s.InterpolationHz)
        .Raw("detrend", s.Detrend == Detrending::None ? "\"none\"" : "\"priors\"")
        .Real("lambda", s.Detrend == Detrending::None ? std::nullopt : std::optional(s.Lambda))
        .Real("welch_window_s", s.WelchWindowS)
        .Real("welch_overlap_percent", s.WelchOverlapPercent)
        .Raw("ar_order", std::to_string(s.ArOrder))
        .Raw("ar_method", s.Ar == ArMethod::Burg ? "\"burg\"" : "\"fb\"")
        .Raw("points_per_hz", std::to_string(s.PointsPerHz))
        .Real("nn_threshold_ms", s.NnThresholdMs)
        .Raw("hr_average_beats", std::to_string(s.HrAverageBeats))
        .Real("segment_s", s.SegmentS)
        .Raw("rmssd_centred", s.RmssdCentred ? "true" : "false")
        .Raw("vlf", BandJson(s.Vlf))
        .Raw("lf", BandJson(s.Lf))
        .Raw("hf", BandJson(s.Hf));
    Json j;
    j.Raw("settings", set.Done());
    j.Real("MeanRR", r.MeanRR).Real("SDNN", r.SDNN).Real("RMSSD", r.RMSSD).Real("SDSD", r.SDSD);
    j.Raw("NNxx", std::to_string(r.NNxx)).Real("pNNxx", r.pNNxx);
    j.Real("MeanHR", r.MeanHR).Real("SDHR", r.SDHR).Real("MinHR", r.MinHR).Real("MaxHR", r.MaxHR);
    j.Real("SD1", r.SD1).Real("SD2", r.SD2).Real("SDANN", r.SDANN).Real("SDNNI", r.SDNNI);
    j.Raw("welch", SpectrumJson(r.Welch, spectra));
    j.Raw("ar", SpectrumJson(r.Ar, spectra));
    j.Raw("lomb", SpectrumJson(r.Lomb, spectra));
    return j.Done();
}

} // namespace hrv::standard
