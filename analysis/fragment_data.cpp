// The process-wide fragment.
#include "analysis/fragment_data.h"

#include <cstddef>
#include <memory>

namespace hrv {

FragmentData& Fragment() {
    // Allocated once, zero-filled, for the whole run (too large for static storage in a
    // function on every platform's stack rules, so it lives on the heap).
    static const std::unique_ptr<FragmentData> instance = std::make_unique<FragmentData>();
    return *instance;
}

void TouchPages(FragmentData& f) {
    constexpr std::size_t kPage = 4096;
    // Through a volatile pointer: the stores of the values just read are not optimised away.
    volatile unsigned char* bytes = reinterpret_cast<unsigned char*>(&f);
    for (std::size_t i = 0; i < sizeof f; i += kPage) {
        bytes[i] = bytes[i];
    }
}

} // namespace hrv
