// The standard (Task Force 1996) analysis of beat times, beside the system's own indices: the NN
// series at its own resolution, a cubic spline at a fixed rate, optional smoothness-priors
// detrending, Welch, Burg and Lomb-Scargle spectra, band powers and the time-domain and Poincaré
// indices. Every step is a function of its own with its parameters stated.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hrv::standard {

enum class Detrending { None, SmoothnessPriors };

// The AR model's estimator: forward-backward least squares (the reference program's, whose AR
// spectra it reproduces to their printed digits) or Burg's.
enum class ArMethod { ForwardBackward, Burg };

struct Band {
    double Low = 0;  // Hz
    double High = 0; // Hz
};

struct Settings {
    double InterpolationHz = 4; // rate of the spline's samples
    Detrending Detrend = Detrending::None;
    double Lambda = 500;             // smoothness priors, in samples of the interpolated series
    double WelchWindowS = 300;       // Welch segment length
    double WelchOverlapPercent = 50; // overlap of successive segments
    int ArOrder = 16;                // AR model order
    ArMethod Ar = ArMethod::ForwardBackward; // its estimator
    int PointsPerHz = 300;                   // frequency grid 0, 1/P, 2/P, ...
    double NnThresholdMs = 50;               // NNxx counts |ΔRR| > this
    int HrAverageBeats = 1;   // min/max HR from the moving average of this many beats
    double SegmentS = 300;    // SDANN and SDNN index: segments of this length
    bool RmssdCentred = true; // RMSSD of ΔRR about their mean (as the reference exports)
    Band Vlf{0, 0.04};
    Band Lf{0.04, 0.15};
    Band Hf{0.15, 0.4};
};

// Empty when the settings are usable, else a message naming the parameter at fault.
std::string Validate(const Settings& s);

// ---- The steps ----

// The NN series: the intervals between successive beat times (s) in ms, each at the time of the
// beat that ends it (s).
struct NnSeries {
    std::vector<double> TimeS;
    std::vector<double> RrMs;
};
NnSeries NnFromBeatTimes(std::span<const double> beatTimesS);
// Beat times (s) of consecutive intervals (ms): 0, then their running sum, so that the series of
// NnFromBeatTimes holds every interval, the first at the time rrMs[0].
std::vector<double> BeatTimesFromIntervals(std::span<const double> rrMs);

// The cubic spline with not-a-knot ends through (x, y), at x[0] + k / rateHz for k = 0 .. while
// within x.back(). At least 2 points (2: the line, 3: the parabola).
std::vector<double> SplineNotAKnot(std::span<const double> x, std::span<const double> y,
                                   double rateHz);

// The series less its mean.
std::vector<double> RemoveMean(std::span<const double> z);
// Smoothness priors (Tarvainen et al. 2002): z − (I + λ²D₂ᵀD₂)⁻¹z, the pentadiagonal system
// solved by its banded LDLᵀ factors in O(n). The result has zero mean up to rounding when n ≥ 3.
std::vector<double> DetrendPriors(std::span<const double> z, double lambda);

// A one-sided spectrum in ms²/Hz on the grid k / pointsPerHz, k = 0 .. Count - 1.
struct Spectrum {
    int PointsPerHz = 0;
    std::vector<double> Psd;
    double Frequency(std::size_t k) const { return static_cast<double>(k) / PointsPerHz; }
};

// Welch: Hann segments w(n) = 0.5 − 0.5 cos(2πn/(L+1)), n = 1..L, L = round(windowS·rate)
// samples, a step of L·(1 − overlap/100) samples, the samples that fill no segment dropped, one
// segment of the whole series when it is shorter than L; each segment's PSD 2|X(f)|²/(fs·Σw²)
// (0 Hz not doubled), averaged, at `count` grid points. z is used as given (remove the mean
// first).
Spectrum WelchPsd(std::span<const double> z, double rateHz, double windowS, double overlapPercent,
                  int pointsPerHz, std::size_t count);

// Burg's autoregressive model of order p: the coefficients a[1..p] of
// x[n] + a1 x[n−1] + … + ap x[n−p] = e[n] and the variance of e.
struct ArModel {
    std::vector<double> A; // a[0] = 1
    double Variance = 0;
};
ArModel Burg(std::span<const double> z, int order);
// Forward-backward least squares (the modified covariance method, Marple 1987): the a minimising
// Σ_{n=p}^{N−1} (|Σⱼ aⱼ z[n−j]|² + |Σⱼ aⱼ z[n−p+j]|²) with a0 = 1, and the variance that
// minimum / (2N), as the reference program's AR spectrum has it.
ArModel ForwardBackward(std::span<const double> z, int order);
// Its one-sided PSD 2σ²/(fs·|A(e^{−i2πf/fs})|²) (0 Hz not doubled) on the grid.
Spectrum ArPsd(const ArModel& m, double rateHz, int pointsPerHz, std::size_t count);

// Lomb (1976) / Scargle (1982) of the uneven series (t in s, y in ms, the mean removed inside):
// P(f) = ½[(Σy cos ω(t−τ))²/Σcos² ω(t−τ) + (Σy sin ω(t−τ))²/Σsin² ω(t−τ)], scaled to a one-sided
// density 2P(f)·T/N ms²/Hz (T the span of t, N the count) so that it integrates to about the
// variance; 0 at 0 Hz.
Spectrum LombPsd(std::span<const double> t, std::span<const double> y, int pointsPerHz,
                 std::size_t count);

// Band powers of a spectrum: the trapezoid over the grid with each band edge's value
// interpolated linearly; relative to the power from VLF's low edge to HF's high edge; n.u. of
// LF and HF against that total less VLF; peaks the grid frequency of the largest PSD with
// Low ≤ f < High.
struct BandPowers {
    double Vlf = 0, Lf = 0, Hf = 0, Total = 0;  // ms²
    std::optional<double> VlfRel, LfRel, HfRel; // %
    std::optional<double> LfNu, HfNu;           // n.u.
    std::optional<double> LfHf;
    std::optional<double> VlfPeak, LfPeak, HfPeak; // Hz
};
double IntegrateBand(const Spectrum& s, double low, double high);
BandPowers ComputeBands(const Spectrum& s, const Settings& settings);

// ---- The whole analysis ----

struct SpectrumResult {
    BandPowers Bands;
    Spectrum Psd;
};

struct Result {
    Settings Used;
    std::size_t Beats = 0;
    double MeanRR = 0, SDNN = 0, RMSSD = 0, SDSD = 0; // ms
    int NNxx = 0;
    double pNNxx = 0;                                  // %
    double MeanHR = 0, SDHR = 0, MinHR = 0, MaxHR = 0; // beats/min
    double SD1 = 0, SD2 = 0;                           // ms
    std::optional<double> SDANN, SDNNI;                // ms; from 2 segments (10 min) on
    std::optional<SpectrumResult> Welch, Ar, Lomb;     // none when the series is too short
    std::vector<std::string> Notes;                    // why a part is undefined
};

// The analysis of beat times (s, strictly increasing, at least 3). Throws std::invalid_argument
// naming the parameter for unusable settings, too few beats or a gap longer than the Welch
// window.
Result Analyse(std::span<const double> beatTimesS, const Settings& settings);
// The same of consecutive intervals (ms) taken as they are, the beats at their running sum from 0
// (as BeatTimesFromIntervals): the differences of whole milliseconds stay exact.
Result AnalyseIntervals(std::span<const double> rrMs, const Settings& settings);

// The result as the JSON object `"standard": {...}` (without the key): units ms, beats/min, %,
// Hz; null where undefined; with `spectra` each spectrum's "psd" on 0, 1/P, ... 0.5 Hz.
std::string ToJson(const Result& r, bool spectra);

} // namespace hrv::standard
