// Spectrum and frequency-domain indices.
#include "analysis/resampling.h"
#include "analysis/spectrum.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace hrv {
namespace {

using test::NearRel;
using test::NewFragment;

// Fills ResampleBuffer slots 0..29999 with a sampled function of time (seconds).
template <class Fn> void FillSamples(FragmentData& f, Fn&& value) {
    for (int j = 0; j < kSpectrumSamples; ++j) {
        f.ResampleBuffer[j] = value(j * 0.01);
    }
}

int LargestBin(const FragmentData& f) {
    return static_cast<int>(std::max_element(f.Spectrum.Power.begin() + 1, f.Spectrum.Power.end()) -
                            f.Spectrum.Power.begin());
}

TEST(Spectrum, EqualIntervalsGiveNoPowerAndSkipTheRatios) {
    auto f = NewFragment();
    FillSamples(*f, [](double) { return 80.0; });
    ComputeSpectrum(*f);
    for (int k = 1; k <= kBinCount; ++k) {
        ASSERT_EQ(f->Spectrum.Power[k], 0) << k;
    }
    const auto& s = f->SpectralIndices;
    EXPECT_EQ(s.VLF, 0);
    EXPECT_EQ(s.LF, 0);
    EXPECT_EQ(s.HF, 0);
    EXPECT_EQ(s.Total, 0);
    EXPECT_EQ(s.LFnorm, 0);
    EXPECT_EQ(s.HFnorm, 0);
    EXPECT_EQ(s.LFHF, 0);
}

struct Tone {
    double hz;
    int bin;
    double SpectralIndicesData::*band;
};

// "Tone_0_25Hz_Bin75".
void PrintTo(const Tone& t, std::ostream* os) {
    const int hundredths = static_cast<int>(std::lround(t.hz * 100));
    *os << "Tone_" << hundredths / 100 << '_' << (hundredths % 100 < 10 ? "0" : "")
        << hundredths % 100 << "Hz_Bin" << t.bin;
}

class SpectrumTone : public ::testing::TestWithParam<Tone> {};

TEST_P(SpectrumTone, ASinusoidalRhythmPutsItsPowerInItsBand) {
    const Tone tone = GetParam();
    auto f = NewFragment();
    FillSamples(*f,
                [&](double t) { return 80 + 5 * std::sin(2 * std::numbers::pi * tone.hz * t); });
    ComputeSpectrum(*f);
    EXPECT_EQ(LargestBin(*f), tone.bin);
    const auto& s = f->SpectralIndices;
    EXPECT_GT(s.*tone.band, 0.9 * s.Total);
    // Total - VLF covers exactly the LF and HF bins; when VLF dominates, the subtraction
    // cancels most digits, so the sum is checked where LF or HF carry the power.
    if (tone.band != &SpectralIndicesData::VLF) {
        EXPECT_TRUE(NearRel(s.LFnorm + s.HFnorm, 100, 1e-12));
    }
}

INSTANTIATE_TEST_SUITE_P(Bands, SpectrumTone,
                         ::testing::Values(Tone{0.1, 30, &SpectralIndicesData::LF},
                                           Tone{0.25, 75, &SpectralIndicesData::HF},
                                           Tone{0.02, 6, &SpectralIndicesData::VLF}),
                         ::testing::PrintToStringParamName());

TEST(Spectrum, BinsOnABandEdgeBelongToTheUpperBand) {
    // One unit of power in a single bin shows which band sums it.
    struct Case {
        int bin;
        double vlf, lf, hf, total;
    };
    const double unit = 1000 * kBinSpacing; // scaled power of one bin
    for (const Case c :
         {Case{11, unit, 0, 0, unit}, Case{12, 0, unit, 0, unit}, Case{44, 0, unit, 0, unit},
          Case{45, 0, 0, unit, unit}, Case{119, 0, 0, unit, unit}, Case{120, 0, 0, 0, 0},
          Case{1, unit, 0, 0, unit}}) {
        SpectrumData sp;
        sp.Power[c.bin] = 1;
        const auto s = ComputeSpectralIndices(sp);
        EXPECT_EQ(s.VLF, c.vlf) << c.bin;
        EXPECT_EQ(s.LF, c.lf) << c.bin;
        EXPECT_EQ(s.HF, c.hf) << c.bin;
        EXPECT_EQ(s.Total, c.total) << c.bin;
    }
}

TEST(Spectrum, RatiosUseTheUnscaledPowersAndSkipZeroDivisors) {
    SpectrumData sp;
    sp.Power[20] = 3; // LF
    sp.Power[60] = 1; // HF
    sp.Power[5] = 7;  // VLF, outside the normalisation
    auto s = ComputeSpectralIndices(sp);
    EXPECT_DOUBLE_EQ(s.LFnorm, 75);
    EXPECT_DOUBLE_EQ(s.HFnorm, 25);
    EXPECT_DOUBLE_EQ(s.LFHF, 3);

    sp.Power[60] = 0; // no HF: LF/HF stays 0, the norms do not
    s = ComputeSpectralIndices(sp);
    EXPECT_EQ(s.LFHF, 0);
    EXPECT_DOUBLE_EQ(s.LFnorm, 100);
}

TEST(Spectrum, SamplesBeyondThreeHundredSecondsChangeNothing) {
    auto a = NewFragment();
    auto b = NewFragment();
    for (auto* f : {a.get(), b.get()}) {
        FillSamples(*f, [](double t) { return 70 + 3 * std::sin(t) + 2 * std::cos(1.7 * t); });
    }
    std::fill(b->ResampleBuffer.begin() + kSpectrumSamples, b->ResampleBuffer.end(), 250.0);
    ComputeSpectrum(*a);
    ComputeSpectrum(*b);
    EXPECT_EQ(a->Spectrum.Power, b->Spectrum.Power);
    EXPECT_EQ(a->SpectralIndices.Total, b->SpectralIndices.Total);
}

TEST(Spectrum, ReportsProgressOncePerBinInOrder) {
    auto f = NewFragment();
    FillSamples(*f, [](double t) { return 60 + std::sin(t); });
    std::vector<int> seen;
    ComputeSpectrum(*f, Executor::CallingThreadOnly(), [&](int k) { seen.push_back(k); });
    ASSERT_EQ(seen.size(), 150u);
    for (int k = 1; k <= kBinCount; ++k) {
        EXPECT_EQ(seen[static_cast<std::size_t>(k - 1)], k);
    }
}

TEST(Spectrum, ASinusoidOnABinPeaksThereWithItsAmplitude) {
    // A sine of amplitude A at k/300 Hz: under the Blackman window (mean value 0.42) the
    // one-sided periodogram of N samples dt apart holds (0.42 * A * N / 2)^2 * 2 * dt / N at bin
    // k, and four bins away the window leaves next to nothing.
    struct Case {
        int bin;
        double amplitude;
    };
    for (const Case c : {Case{17, 4}, Case{60, 1}, Case{150, 0.5}}) {
        auto f = NewFragment();
        FillSamples(*f, [&](double t) {
            return 90 + c.amplitude * std::sin(2 * std::numbers::pi * c.bin / 300 * t);
        });
        ComputeSpectrum(*f);
        const double n = kSpectrumSamples;
        const double peak = std::pow(0.42 * c.amplitude * n / 2, 2) * 2 * 0.01 / n;
        EXPECT_EQ(LargestBin(*f), c.bin);
        EXPECT_TRUE(NearRel(f->Spectrum.Power[c.bin], peak, 1e-3)) << c.bin;
        EXPECT_LT(f->Spectrum.Power[c.bin - 4], 1e-6 * peak) << c.bin;
    }
}

} // namespace
} // namespace hrv
