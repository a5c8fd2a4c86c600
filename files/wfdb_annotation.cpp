// A WFDB annotation file in the MIT format.
#include "files/wfdb_annotation.h"

#include <algorithm>
#include <array>

namespace hrv {

namespace {

constexpr int kSkip = 59;
constexpr int kNum = 60;
constexpr int kSub = 61;
constexpr int kChn = 62;
constexpr int kAux = 63;

std::int32_t Signed10(std::uint32_t v) {
    return v >= 512 ? static_cast<std::int32_t>(v) - 1024 : static_cast<std::int32_t>(v);
}

// The mnemonics of codes 0..41, as the WFDB library's ecgcodes define them.
constexpr std::array<std::string_view, 42> kMnemonics = {
    "",  "N", "L", "R", "a", "V", "F", "J", "A",  "S", "E", "j", "/", "Q",
    "~", "",  "|", "",  "s", "T", "*", "D", "\"", "=", "p", "B", "^", "t",
    "+", "u", "?", "!", "[", "]", "e", "n", "@",  "x", "f", "(", ")", "r"};

} // namespace

std::vector<WfdbAnnotation> ParseWfdbAnnotations(std::span<const std::uint8_t> bytes,
                                                 const std::string& path) {
    std::vector<WfdbAnnotation> out;
    std::int64_t time = 0;
    std::int32_t chan = 0;
    std::int32_t num = 0;
    std::size_t at = 0;
    const auto word = [&](std::size_t i) {
        return static_cast<std::uint32_t>(bytes[i] | (bytes[i + 1] << 8));
    };
    while (at + 2 <= bytes.size()) {
        const std::uint32_t w = word(at);
        at += 2;
        const auto code = static_cast<int>(w >> 10);
        const std::uint32_t value = w & 0x3FFu;
        if (code == 0 && value == 0) {
            break;
        }
        switch (code) {
        case kSkip: {
            if (at + 4 > bytes.size()) {
                throw SignalFault(path, "файл аннотаций обрезан (внутри интервала SKIP)");
            }
            // The high 16 bits first, each half little-endian.
            const std::uint32_t interval = (word(at) << 16) | word(at + 2);
            at += 4;
            time += static_cast<std::int32_t>(interval);
            if (time < 0) {
                throw SignalFault(path, "время аннотации меньше нуля");
            }
            break;
        }
        case kNum:
            num = Signed10(value);
            if (!out.empty()) {
                out.back().num = num;
            }
            break;
        case kSub:
            if (!out.empty()) {
                out.back().sub = Signed10(value);
            }
            break;
        case kChn:
            chan = static_cast<std::int32_t>(value);
            if (!out.empty()) {
                out.back().chan = chan;
            }
            break;
        case kAux: {
            const std::size_t length = value;
            const std::size_t padded = length + (length & 1);
            if (at + padded > bytes.size()) {
                throw SignalFault(path, "файл аннотаций обрезан (внутри текста AUX)");
            }
            if (!out.empty()) {
                const auto* text = reinterpret_cast<const char*>(bytes.data() + at);
                const std::size_t end = std::find(text, text + length, '\0') - text;
                out.back().aux.assign(text, end);
            }
            at += padded;
            break;
        }
        default: {
            time += value;
            WfdbAnnotation a;
            a.sample = time;
            a.code = static_cast<std::uint8_t>(code);
            a.chan = chan;
            a.num = num;
            out.push_back(std::move(a));
            break;
        }
        }
    }
    return out;
}

std::vector<WfdbAnnotation> ReadWfdbAnnotations(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path, kWfdbAnnotationLimit + 1);
    if (bytes.size() > kWfdbAnnotationLimit) {
        throw SignalFault(path, "слишком большой для файла аннотаций");
    }
    return ParseWfdbAnnotations(bytes, path);
}

bool IsBeatCode(std::uint8_t code) {
    return BeatKindOfCode(code) != BeatKind::Unknown;
}

BeatKind BeatKindOfCode(std::uint8_t code) {
    switch (code) {
    case 1:  // N normal
    case 2:  // L left bundle branch block
    case 3:  // R right bundle branch block
    case 25: // B bundle branch block, unspecified
    case 34: // e atrial escape
    case 11: // j nodal (junctional) escape
        return BeatKind::Normal;
    case 8:  // A atrial premature
    case 4:  // a aberrated atrial premature
    case 7:  // J nodal (junctional) premature
    case 9:  // S supraventricular premature
    case 35: // n supraventricular escape
        return BeatKind::Supraventricular;
    case 5:  // V premature ventricular contraction
    case 10: // E ventricular escape
    case 41: // r R-on-T premature ventricular contraction
        return BeatKind::Ventricular;
    case 6: // F fusion of ventricular and normal
        return BeatKind::Fusion;
    case 12: // / paced
    case 38: // f fusion of paced and normal
        return BeatKind::Paced;
    case 13: // Q unclassifiable
    case 30: // ? beat not classified during learning
        return BeatKind::Unclassifiable;
    default:
        return BeatKind::Unknown;
    }
}

std::string_view AnnotationMnemonic(std::uint8_t code) {
    return code < kMnemonics.size() ? kMnemonics[code] : std::string_view();
}

std::vector<Beat> BeatsOfAnnotations(std::span<const WfdbAnnotation> annotations,
                                     std::int64_t length, const std::string& path) {
    std::vector<Beat> beats;
    for (const WfdbAnnotation& a : annotations) {
        if (length > 0 && a.sample >= length) {
            throw SignalFault(path, "аннотация в отсчёте " + std::to_string(a.sample) +
                                        " за концом записи (" + std::to_string(length) +
                                        " отсчётов)");
        }
        if (IsBeatCode(a.code)) {
            beats.push_back(Beat{a.sample, BeatSource::Annotation, BeatKindOfCode(a.code), a.code});
        }
    }
    std::stable_sort(beats.begin(), beats.end(),
                     [](const Beat& x, const Beat& y) { return x.sample < y.sample; });
    return beats;
}

} // namespace hrv
