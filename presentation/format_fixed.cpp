// The one conversion of reals to text: fixed notation, precision 6, d decimals.
#include "presentation/format_fixed.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace hrv {

namespace {

constexpr int kPrecision = 6;     // significant digits
constexpr int kExactDigits = 800; // enough for the exact decimal expansion of any double

// The exact decimal expansion of |value| > 0: digits d1 d2 ... with value = 0.d1d2... * 10^exp.
struct Decimal {
    std::string digits;
    int exp = 0;
};

Decimal ExactDecimal(double value) {
    std::array<char, kExactDigits + 32> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                 std::chars_format::scientific, kExactDigits);
    const std::string_view text(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
    const auto e = text.find('e');
    Decimal d;
    d.digits += text[0];
    d.digits += text.substr(2, e - 2); // skip "d."
    int exp10 = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    exp10);
    d.exp = exp10 + 1;
    while (d.digits.size() > 1 && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    return d;
}

// Keeps `keep` significant digits, rounding half away from zero; an empty result is zero.
void RoundDigits(Decimal& d, int keep) {
    if (keep >= static_cast<int>(d.digits.size())) {
        return;
    }
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
    }
}

} // namespace

std::string FormatFixed(double value, int decimals, char separator) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    Decimal d;
    if (value != 0) {
        d = ExactDecimal(value);
        RoundDigits(d, std::min(kPrecision, d.exp + decimals));
    }
    const bool zero = d.digits.empty();
    std::string out = (value < 0 && !zero) ? "-" : "";
    if (zero || d.exp <= kPrecision) {
        auto digitAt = [&](int pos) { // pos 1 is the first digit after the point's left edge
            const int i = pos - 1;
            return i >= 0 && i < static_cast<int>(d.digits.size())
                       ? d.digits[static_cast<std::size_t>(i)]
                       : '0';
        };
        if (zero || d.exp <= 0) {
            out += '0';
        } else {
            for (int i = 1; i <= d.exp; ++i) {
                out += digitAt(i);
            }
        }
        if (decimals > 0) {
            out += separator;
            for (int i = 1; i <= decimals; ++i) {
                out += zero ? '0' : digitAt(d.exp + i);
            }
        }
        return out;
    }
    // Seven or more integer digits: the general scientific form.
    out += d.digits[0];
    if (d.digits.size() > 1) {
        out += separator;
        out += d.digits.substr(1);
    }
    out += 'E';
    out += std::to_string(d.exp - 1);
    return out;
}

std::string IntegerText(std::int64_t value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

} // namespace hrv
