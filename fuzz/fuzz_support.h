// Helpers of the fuzz targets: invariant checks that stop the run with the failed condition, and
// a strict UTF-8 test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

// Stops the fuzzer with a finding when an invariant does not hold.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "invariant failed: %s at %s:%d\n", #cond, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace hrv::fuzz {

// True when every value is zero. Kept out of line and out of the coverage instrumentation
// (coverage_ignore.txt): a scan of up to a whole workspace array whose comparisons tell the fuzzer
// nothing about its input, only whether the invariant holds.
template <class T> [[gnu::noinline]] bool AllZero(std::span<const T> values) {
    for (const T& v : values) {
        if (v != 0) {
            return false;
        }
    }
    return true;
}

// True when `text` is well-formed UTF-8: shortest forms only, no surrogates, at most U+10FFFF.
inline bool ValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        int more = 0;
        std::uint32_t cp = 0;
        std::uint32_t least = 0;
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            cp = b & 0x1Fu;
            least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            cp = b & 0x0Fu;
            least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            cp = b & 0x07u;
            least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(more)) {
            return false; // cut short
        }
        for (int k = 1; k <= more; ++k) {
            const auto c = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0u) != 0x80u) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

} // namespace hrv::fuzz
