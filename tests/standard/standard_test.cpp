// The standard analysis's steps against plain, slow evaluations of their formulas written out
// here on their own (dense solve, direct Fourier sums, textbook Burg and Lomb), and its handling
// of input it cannot analyse.
#include "standard/standard.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace hrv::standard {
namespace {

constexpr double kPi = std::numbers::pi;

// A synthetic RR series: a respiratory and a slow wave, a drift and a little noise from a fixed
// recurrence, at uneven beat times.
std::vector<double> SyntheticRr(std::size_t n) {
    std::vector<double> rr(n);
    double t = 0;
    unsigned state = 12345;
    for (std::size_t i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        const double noise = static_cast<double>((state >> 8) % 1000) / 1000.0 - 0.5;
        rr[i] = 820 + 40 * std::sin(2 * kPi * 0.25 * t) + 30 * std::sin(2 * kPi * 0.09 * t) +
                0.02 * t + 8 * noise;
        t += rr[i] / 1000;
    }
    return rr;
}

void ExpectClose(double expected, double actual, double scale, const std::string& what) {
    EXPECT_LE(std::abs(actual - expected), 1e-9 * scale)
        << what << ": " << expected << " vs " << actual;
}

TEST(StandardSteps, SplineWithNotAKnotEndsReproducesACubic) {
    // A not-a-knot spline is the cubic itself when the data lie on one, at any knots.
    const std::vector<double> x{0.3, 1.1, 1.5, 2.9, 3.2, 4.8, 5.0};
    auto cubic = [](double t) { return 2 - 3 * t + 0.5 * t * t - 0.25 * t * t * t; };
    std::vector<double> y;
    for (const double t : x) {
        y.push_back(cubic(t));
    }
    const std::vector<double> s = SplineNotAKnot(x, y, 4);
    ASSERT_EQ(s.size(), 19u); // 0.3, 0.55, ..., 4.8
    for (std::size_t k = 0; k < s.size(); ++k) {
        const double t = 0.3 + static_cast<double>(k) / 4;
        EXPECT_NEAR(cubic(t), s[k], 1e-12) << t;
    }
}

// Gaussian elimination with partial pivoting of the dense system a x = rhs.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> rhs) {
    const std::size_t n = rhs.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r) {
            p = std::abs(a[r][c]) > std::abs(a[p][c]) ? r : p;
        }
        std::swap(a[c], a[p]);
        std::swap(rhs[c], rhs[p]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t j = c; j < n; ++j) {
                a[r][j] -= f * a[c][j];
            }
            rhs[r] -= f * rhs[c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t i = n; i-- > 0;) {
        double s = rhs[i];
        for (std::size_t j = i + 1; j < n; ++j) {
            s -= a[i][j] * x[j];
        }
        x[i] = s / a[i][i];
    }
    return x;
}

TEST(StandardSteps, SmoothnessPriorsMatchADenseSolve) {
    const std::vector<double> z = SyntheticRr(300);
    const double lambda = 50;
    const std::size_t n = z.size();
    // A = I + λ² D₂ᵀD₂ written out, D₂[r][c] = (1, −2, 1) at c = r, r + 1, r + 2.
    auto d2 = [](std::size_t r, std::size_t c) {
        return c == r || c == r + 2 ? 1.0 : c == r + 1 ? -2.0 : 0.0;
    };
    std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t r = 0; r + 2 < n; ++r) {
                a[i][j] += lambda * lambda * d2(r, i) * d2(r, j);
            }
        }
        a[i][i] += 1;
    }
    const std::vector<double> trend = Solve(a, z);
    const std::vector<double> got = DetrendPriors(z, lambda);
    for (std::size_t i = 0; i < n; ++i) {
        ExpectClose(z[i] - trend[i], got[i], 800, "sample " + std::to_string(i));
    }
}

// Welch written out: segments, the Hann window, a direct Fourier sum at each grid frequency.
std::vector<double> LiteralWelch(const std::vector<double>& z, double fs, std::size_t len,
                                 std::size_t step, int p, std::size_t count) {
    len = std::min(len, z.size());
    std::vector<double> psd(count, 0.0), w(len);
    double u = 0;
    for (std::size_t n = 1; n <= len; ++n) {
        w[n - 1] =
            0.5 - 0.5 * std::cos(2 * kPi * static_cast<double>(n) / static_cast<double>(len + 1));
        u += w[n - 1] * w[n - 1];
    }
    const std::size_t segments = (z.size() - len) / step + 1;
    for (std::size_t g = 0; g < segments; ++g) {
        for (std::size_t k = 0; k < count; ++k) {
            double re = 0, im = 0;
            for (std::size_t n = 0; n < len; ++n) {
                const double ph =
                    2 * kPi * static_cast<double>(k) / p * static_cast<double>(n) / fs;
                re += w[n] * z[g * step + n] * std::cos(ph);
                im -= w[n] * z[g * step + n] * std::sin(ph);
            }
            psd[k] += (k == 0 ? 1.0 : 2.0) * (re * re + im * im) / (fs * u) /
                      static_cast<double>(segments);
        }
    }
    return psd;
}

TEST(StandardSteps, WelchMatchesTheDirectSum) {
    const std::vector<double> z = RemoveMean(SyntheticRr(1000));
    // Several segments with the tail dropped, and one segment of a series shorter than the window.
    for (const auto& [windowS, points] : {std::pair{60.0, 300}, std::pair{300.0, 128}}) {
        const auto len = static_cast<std::size_t>(windowS * 4);
        const std::vector<double> expected = LiteralWelch(z, 4, len, len / 2, points, 90);
        const Spectrum got = WelchPsd(z, 4, windowS, 50, points, 90);
        const double top = *std::max_element(expected.begin(), expected.end());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            ExpectClose(expected[k], got.Psd[k], top, "f " + std::to_string(k));
        }
    }
}

TEST(StandardSteps, BurgMatchesTheTextbookRecursion) {
    const std::vector<double> x = RemoveMean(SyntheticRr(400));
    const int order = 8;
    // Burg (1967): reflection coefficients minimising forward plus backward error power, the
    // Levinson update of the coefficients, arrays rebuilt at every stage.
    std::vector<double> f(x), b(x), a{1.0};
    double e = 0;
    for (const double v : x) {
        e += v * v / static_cast<double>(x.size());
    }
    for (int m = 1; m <= order; ++m) {
        std::vector<double> fn, bn;
        double num = 0, den = 0;
        for (std::size_t i = 1; i < f.size(); ++i) {
            num += f[i] * b[i - 1];
            den += f[i] * f[i] + b[i - 1] * b[i - 1];
        }
        const double k = -2 * num / den;
        for (std::size_t i = 1; i < f.size(); ++i) {
            fn.push_back(f[i] + k * b[i - 1]);
            bn.push_back(b[i - 1] + k * f[i]);
        }
        f = fn;
        b = bn;
        std::vector<double> an(a.size() + 1, 0.0);
        for (std::size_t i = 0; i < an.size(); ++i) {
            an[i] = (i < a.size() ? a[i] : 0.0) + k * (i > 0 ? a[an.size() - 1 - i] : 0.0);
        }
        a = an;
        e *= 1 - k * k;
    }
    const ArModel got = Burg(x, order);
    ASSERT_EQ(got.A.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ExpectClose(a[i], got.A[i], 1, "a" + std::to_string(i));
    }
    ExpectClose(e, got.Variance, e, "variance");
}

TEST(StandardSteps, ForwardBackwardSolvesItsNormalEquations) {
    const std::vector<double> x = RemoveMean(SyntheticRr(300));
    const std::size_t p = 6, n = x.size();
    // The least-squares problem written out: C(i, j) summed directly, solved by elimination.
    auto c = [&](std::size_t i, std::size_t j) {
        double s = 0;
        for (std::size_t k = p; k < n; ++k) {
            s += x[k - i] * x[k - j] + x[k - p + i] * x[k - p + j];
        }
        return s;
    };
    std::vector<std::vector<double>> a(p, std::vector<double>(p));
    std::vector<double> rhs(p);
    for (std::size_t i = 0; i < p; ++i) {
        for (std::size_t j = 0; j < p; ++j) {
            a[i][j] = c(i + 1, j + 1);
        }
        rhs[i] = -c(i + 1, 0);
    }
    std::vector<double> coef{1.0};
    for (const double v : Solve(a, rhs)) {
        coef.push_back(v);
    }
    // The minimum: the forward and backward errors of the solution, squared and summed.
    double e = 0;
    for (std::size_t k = p; k < n; ++k) {
        double f = 0, b = 0;
        for (std::size_t j = 0; j <= p; ++j) {
            f += coef[j] * x[k - j];
            b += coef[j] * x[k - p + j];
        }
        e += f * f + b * b;
    }
    const ArModel got = ForwardBackward(x, static_cast<int>(p));
    ASSERT_EQ(got.A.size(), p + 1);
    for (std::size_t i = 0; i <= p; ++i) {
        ExpectClose(coef[i], got.A[i], 1, "a" + std::to_string(i));
    }
    const double variance = e / (2 * static_cast<double>(n));
    ExpectClose(variance, got.Variance, variance, "variance");
}

TEST(StandardSteps, LombMatchesItsDefinition) {
    const std::vector<double> rr = SyntheticRr(350);
    const NnSeries nn = NnFromBeatTimes(BeatTimesFromIntervals(rr));
    const std::size_t n = nn.RrMs.size();
    double mean = 0;
    for (const double v : nn.RrMs) {
        mean += v / static_cast<double>(n);
    }
    const Spectrum got = LombPsd(nn.TimeS, nn.RrMs, 300, 151);
    const double span = nn.TimeS.back() - nn.TimeS.front();
    double top = 0;
    std::vector<double> expected(151, 0.0);
    for (std::size_t k = 1; k < 151; ++k) {
        const double w = 2 * kPi * static_cast<double>(k) / 300;
        double s2 = 0, c2 = 0;
        for (const double t : nn.TimeS) {
            s2 += std::sin(2 * w * t);
            c2 += std::cos(2 * w * t);
        }
        const double tau = std::atan2(s2, c2) / (2 * w);
        double yc = 0, ys = 0, cc = 0, ss = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double c = std::cos(w * (nn.TimeS[j] - tau)),
                         s = std::sin(w * (nn.TimeS[j] - tau));
            yc += (nn.RrMs[j] - mean) * c;
            ys += (nn.RrMs[j] - mean) * s;
            cc += c * c;
            ss += s * s;
        }
        expected[k] = 2 * span / static_cast<double>(n) * 0.5 * (yc * yc / cc + ys * ys / ss);
        top = std::max(top, expected[k]);
    }
    for (std::size_t k = 0; k < 151; ++k) {
        ExpectClose(expected[k], got.Psd[k], top, "f " + std::to_string(k));
    }
}

TEST(StandardSteps, BandEdgesBetweenGridPointsAreInterpolated) {
    // On a linear spectrum the trapezoid with interpolated edges is exact.
    Spectrum s;
    s.PointsPerHz = 10;
    for (int k = 0; k < 8; ++k) {
        s.Psd.push_back(3 + 20.0 * k / 10);
    }
    auto exact = [](double lo, double hi) { return 3 * (hi - lo) + 10 * (hi * hi - lo * lo); };
    EXPECT_NEAR(exact(0.04, 0.15), IntegrateBand(s, 0.04, 0.15), 1e-12);
    EXPECT_NEAR(exact(0.15, 0.4), IntegrateBand(s, 0.15, 0.4), 1e-12);
    EXPECT_NEAR(exact(0.12, 0.18), IntegrateBand(s, 0.12, 0.18), 1e-12); // no grid point inside
    EXPECT_NEAR(exact(0.1, 0.3), IntegrateBand(s, 0.1, 0.3), 1e-12);
}

TEST(StandardTimeDomain, CountsSuccessiveDifferencesAboveTheThreshold) {
    // Differences +50, −60, +110, −10: the one of exactly 50 ms is not above 50.
    const std::vector<double> rr{800, 850, 790, 900, 890};
    Settings s;
    s.HrAverageBeats = 2;
    const Result r = Analyse(BeatTimesFromIntervals(rr), s);
    EXPECT_EQ(r.NNxx, 2);
    EXPECT_DOUBLE_EQ(r.pNNxx, 50);
    EXPECT_DOUBLE_EQ(r.MeanRR, 846);
    EXPECT_NEAR(r.MeanHR, 60000.0 / 846, 1e-12);
    // Min/max HR of the two-beat averages of 60000/RR.
    EXPECT_NEAR(r.MaxHR, (60000.0 / 850 + 60000.0 / 790) / 2, 1e-12);
    EXPECT_NEAR(r.MinHR, (60000.0 / 900 + 60000.0 / 890) / 2, 1e-12);
    s.NnThresholdMs = 20;
    EXPECT_EQ(Analyse(BeatTimesFromIntervals(rr), s).NNxx, 3);
    // Under 10 minutes SDANN and the SDNN index are undefined: null, never a number.
    const std::string json = ToJson(r, false);
    EXPECT_NE(json.find("\"SDANN\": null"), std::string::npos) << json;
    EXPECT_EQ(json.find("nan"), std::string::npos) << json;
}

TEST(StandardTimeDomain, PriorsDetrendTheIntervalsAtTheirBeats) {
    // A slow ramp under a fast wave: the priors take the ramp out of SDNN, not out of the mean.
    std::vector<double> rr;
    for (int i = 0; i < 600; ++i) {
        rr.push_back(700 + 0.5 * i + 20 * std::sin(i * 1.3));
    }
    Settings s;
    const Result raw = Analyse(BeatTimesFromIntervals(rr), s);
    s.Detrend = Detrending::SmoothnessPriors;
    const Result detrended = Analyse(BeatTimesFromIntervals(rr), s);
    EXPECT_DOUBLE_EQ(raw.MeanRR, detrended.MeanRR);
    EXPECT_GT(raw.SDNN, 80);
    EXPECT_LT(detrended.SDNN, 20);
    EXPECT_NEAR(detrended.RMSSD, raw.RMSSD, 0.05 * raw.RMSSD);
}

TEST(StandardInput, RefusesWhatItCannotAnalyse) {
    const std::vector<double> rr = SyntheticRr(500);
    auto message = [&](const Settings& s, const std::vector<double>& beats) {
        try {
            Analyse(beats, s);
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    const std::vector<double> beats = BeatTimesFromIntervals(rr);
    const std::pair<void (*)(Settings&), const char*> faults[] = {
        {[](Settings& s) {
             s.Detrend = Detrending::SmoothnessPriors;
             s.Lambda = 0;
         },
         "lambda"},
        {[](Settings& s) { s.ArOrder = 0; }, "ar_order"},
        {[](Settings& s) { s.Lf.Low = 0.03; }, "overlaps"},
        {[](Settings& s) { s.InterpolationHz = 0.6; }, "Nyquist"},
        {[](Settings& s) { s.WelchOverlapPercent = 100; }, "welch_overlap_percent"},
    };
    EXPECT_EQ(message(Settings{}, beats), "");
    for (const auto& [fault, name] : faults) {
        Settings s;
        fault(s);
        EXPECT_NE(message(s, beats).find(name), std::string::npos) << name;
    }
    EXPECT_NE(message(Settings{}, {0.0, 0.8, 1.6}).find("at least 4"), std::string::npos);
    EXPECT_NE(message(Settings{}, {0.0, 0.8, 0.7, 1.6}).find("beat 2"), std::string::npos);
    // A gap longer than the Welch window.
    std::vector<double> gap = beats;
    for (std::size_t i = 100; i < gap.size(); ++i) {
        gap[i] += 400;
    }
    EXPECT_NE(message(Settings{}, gap).find("welch_window_s"), std::string::npos);

    // A series too short for the AR model keeps its other results; the AR part is null.
    const std::vector<double> few{0.0, 0.8, 1.6, 2.5, 3.3};
    const Result r = Analyse(few, Settings{});
    EXPECT_FALSE(r.Ar);
    ASSERT_FALSE(r.Notes.empty());
    EXPECT_NE(r.Notes.back().find("ar_order"), std::string::npos);
    const std::string json = ToJson(r, true);
    EXPECT_NE(json.find("\"ar\": null"), std::string::npos) << json;
    EXPECT_EQ(json.find("nan"), std::string::npos) << json;
    EXPECT_EQ(json.find("inf"), std::string::npos) << json;
}

} // namespace
} // namespace hrv::standard
