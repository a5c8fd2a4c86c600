// The process-wide fragment.
#include "analysis/fragment_data.h"

#include <memory>

namespace hrv {

FragmentData& Fragment() {
    // Allocated once, zero-filled, for the whole run (too large for static storage in a
    // function on every platform's stack rules, so it lives on the heap).
    static const std::unique_ptr<FragmentData> instance = std::make_unique<FragmentData>();
    return *instance;
}

} // namespace hrv
