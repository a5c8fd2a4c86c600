// The results of one analysed fragment as named fields in a fixed order: the indices of
// `rvx-cli analyze`'s JSON line after "file", "type" and "ok". The JSON writer and the Python
// module both take them from here, so their names, order and values are one.
#pragma once

#include "analysis/beat_correction.h"
#include "analysis/fragment_data.h"
#include "analysis/nonlinear.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace hrv {

// What goes into the fields beside the indices every line has.
struct ResultOptions {
    bool spectrum = false;  // "Power": the spectrum, bins 1..150
    bool nonlinear = false; // SD1, SD2, SD1SD2, SampEn, DFA_alpha1, DFA_alpha2, SI after "LFHF"
};

// The intervals as recorded or read: RrWords, whose high bytes are the ticks.
struct TickWords {
    std::span<const std::uint16_t> words;
};

// Calls visit(name, value) for each field in order. The values are std::int64_t, double,
// std::optional<double> (the nonlinear indices; none where undefined),
// TickWords ("intervals"), std::span<const std::uint8_t> ("corrected_intervals", ticks),
// std::span<const Artefact> ("artefacts") and std::span<const double> ("Power").
template <class Visit>
void VisitResultFields(const FragmentData& f, const ResultOptions& options, Visit&& visit) {
    const auto& t = f.TimeIndices;
    const auto& s = f.SpectralIndices;
    const auto integer = [&visit](std::string_view name, std::int64_t v) { visit(name, v); };
    const auto real = [&visit](std::string_view name, double v) { visit(name, v); };
    integer("RrCount", f.RrCount);
    integer("FragmentCount", f.FragmentCount);
    real("SDNN", t.SDNN);
    real("RMSSD", t.RMSSD);
    real("NN50", t.NN50);
    real("pNN50", t.pNN50);
    integer("HRVind", t.HRVind);
    integer("TINN", t.TINN);
    integer("HR", t.HR);
    integer("ModeClass", t.ModeClass);
    integer("ModeCount", t.ModeCount);
    integer("AMo", t.AMo);
    integer("MinClass", t.MinClass);
    integer("MaxClass", t.MaxClass);
    real("VLF", s.VLF);
    real("LF", s.LF);
    real("HF", s.HF);
    real("Total", s.Total);
    real("LFnorm", s.LFnorm);
    real("HFnorm", s.HFnorm);
    real("LFHF", s.LFHF);
    if (options.nonlinear) {
        const NonlinearIndices n = ComputeNonlinear(f);
        real("SD1", n.SD1);
        real("SD2", n.SD2);
        const auto optional = [&visit](std::string_view name, const std::optional<double>& v) {
            visit(name, v);
        };
        optional("SD1SD2", n.SD1SD2);
        optional("SampEn", n.SampEn);
        optional("DFA_alpha1", n.DFAAlpha1);
        optional("DFA_alpha2", n.DFAAlpha2);
        optional("SI", n.SI);
    }
    // The intervals as recorded or read, whether or not the analysis corrected them.
    const int held = std::min(f.RrCount, kRrCapacity);
    visit("intervals", TickWords{std::span(f.RrWords.data() + 1, static_cast<std::size_t>(held))});
    if (f.Corrected) {
        visit("corrected_intervals", std::span<const std::uint8_t>(f.Correction.ticks));
        visit("artefacts", std::span<const Artefact>(f.Correction.artefacts));
    }
    if (options.spectrum) {
        visit("Power", std::span<const double>(f.Spectrum.Power.data() + 1, kBinCount));
    }
}

// The fields of one window of a recording: those of VisitResultFields without the interval lists
// ("intervals" and "corrected_intervals"); "artefacts" index the window's own intervals (0 is its
// first).
template <class Visit>
void VisitWindowFields(const FragmentData& f, const ResultOptions& options, Visit&& visit) {
    VisitResultFields(f, options, [&visit](std::string_view name, const auto& value) {
        if (name != "intervals" && name != "corrected_intervals") {
            visit(name, value);
        }
    });
}

} // namespace hrv
