// The texts of the standard (Task Force) analysis.
#include "presentation/standard_texts.h"

#include "presentation/clock_text.h"
#include "presentation/format_fixed.h"

#include <cmath>
#include <optional>

namespace hrv {

namespace {

std::string Value(const std::optional<double>& v, int decimals, char separator) {
    return v && std::isfinite(*v) ? FormatFixed(*v, decimals, separator) : kStandardUndefined;
}

// A whole number or a real's shortest fixed form up to 3 decimals (4 Гц, 0,5 Гц).
std::string Setting(double v, char separator) {
    if (v == std::floor(v) && std::abs(v) < 1e9) {
        return IntegerText(static_cast<std::int64_t>(v));
    }
    std::string text = FormatFixed(v, 3, separator);
    while (text.back() == '0') {
        text.pop_back();
    }
    return text;
}

} // namespace

std::string StandardHeadingText(const standard::Result& r) {
    const std::size_t intervals = r.Beats > 0 ? r.Beats - 1 : 0;
    const double lengthMs = r.MeanRR * static_cast<double>(intervals);
    return std::string(kStandardHeading) + " (" +
           DurationText(static_cast<std::int64_t>(lengthMs / 10)) +
           ", интервалов: " + IntegerText(static_cast<std::int64_t>(intervals)) + ")";
}

std::string StandardSettingsText(const standard::Settings& s, char separator) {
    std::string text = Setting(s.InterpolationHz, separator) + " Гц, тренд: ";
    text += s.Detrend == standard::Detrending::None
                ? std::string("нет")
                : "приоры, lambda " + Setting(s.Lambda, separator);
    text += ", Уэлч " + Setting(s.WelchWindowS, separator) + " с " +
            Setting(s.WelchOverlapPercent, separator) + " %, АР " + IntegerText(s.ArOrder) +
            (s.Ar == standard::ArMethod::Burg ? " (burg)" : " (fb)") + ", " +
            IntegerText(s.PointsPerHz) + " точек на Гц, NNxx > " +
            Setting(s.NnThresholdMs, separator) + " мс";
    return text;
}

std::vector<StandardValue> StandardTimeValues(const standard::Result& r, char separator) {
    const std::string nn = Setting(r.Used.NnThresholdMs, '.');
    const auto v = [separator](double x, int decimals) {
        return Value(std::optional(x), decimals, separator);
    };
    return {
        {"Mean RR", v(r.MeanRR, 1), "мс"},
        {"SDNN", v(r.SDNN, 2), "мс"},
        {"RMSSD", v(r.RMSSD, 2), "мс"},
        {"SDSD", v(r.SDSD, 2), "мс"},
        {"NN" + nn, IntegerText(r.NNxx), ""},
        {"pNN" + nn, v(r.pNNxx, 2), "%"},
        {"Mean HR", v(r.MeanHR, 2), "уд/мин"},
        {"SD HR", v(r.SDHR, 2), "уд/мин"},
        {"Min HR", v(r.MinHR, 2), "уд/мин"},
        {"Max HR", v(r.MaxHR, 2), "уд/мин"},
        {"SD1", v(r.SD1, 2), "мс"},
        {"SD2", v(r.SD2, 2), "мс"},
        {"SDANN", Value(r.SDANN, 2, separator), "мс"},
        {"SDNN i", Value(r.SDNNI, 2, separator), "мс"},
    };
}

std::array<std::string, 3> StandardSpectrumNames() {
    return {"Уэлч", "АР", "Ломб"};
}

std::vector<StandardBandRow> StandardBandRows(const standard::Result& r, char separator,
                                              bool main) {
    using Field = std::optional<double> (*)(const standard::BandPowers&);
    struct Row {
        const char* label;
        Field field;
        int decimals;
        const char* unit;
        bool main;
    };
    static constexpr Row kRows[] = {
        {"VLF", [](const standard::BandPowers& b) { return std::optional(b.Vlf); }, 1, "мс2", true},
        {"LF", [](const standard::BandPowers& b) { return std::optional(b.Lf); }, 1, "мс2", true},
        {"HF", [](const standard::BandPowers& b) { return std::optional(b.Hf); }, 1, "мс2", true},
        {"Total", [](const standard::BandPowers& b) { return std::optional(b.Total); }, 1, "мс2",
         false},
        {"VLF отн", [](const standard::BandPowers& b) { return b.VlfRel; }, 2, "%", false},
        {"LF отн", [](const standard::BandPowers& b) { return b.LfRel; }, 2, "%", false},
        {"HF отн", [](const standard::BandPowers& b) { return b.HfRel; }, 2, "%", false},
        {"LF norm", [](const standard::BandPowers& b) { return b.LfNu; }, 2, "n.u.", true},
        {"HF norm", [](const standard::BandPowers& b) { return b.HfNu; }, 2, "n.u.", true},
        {"LF/HF", [](const standard::BandPowers& b) { return b.LfHf; }, 3, "", true},
        {"VLF пик", [](const standard::BandPowers& b) { return b.VlfPeak; }, 4, "Гц", false},
        {"LF пик", [](const standard::BandPowers& b) { return b.LfPeak; }, 4, "Гц", false},
        {"HF пик", [](const standard::BandPowers& b) { return b.HfPeak; }, 4, "Гц", false},
    };
    const std::optional<standard::SpectrumResult>* spectra[] = {&r.Welch, &r.Ar, &r.Lomb};
    std::vector<StandardBandRow> rows;
    for (const Row& row : kRows) {
        if (main && !row.main) {
            continue;
        }
        StandardBandRow out{row.label, {}, row.unit};
        for (std::size_t k = 0; k < 3; ++k) {
            out.values[k] = *spectra[k]
                                ? Value(row.field((*spectra[k])->Bands), row.decimals, separator)
                                : kStandardUndefined;
        }
        rows.push_back(std::move(out));
    }
    return rows;
}

} // namespace hrv
