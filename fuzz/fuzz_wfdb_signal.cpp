// A WFDB record from bytes: a header (up to the first zero byte) and one signal file (the rest).
// Either the record reads, every channel as long as the record, or it is refused with a
// message; the samples never come from outside the file.
#include "files/wfdb_signal.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    const auto* zero = std::find(data, data + size, 0);
    const std::string_view text(reinterpret_cast<const char*>(data), zero - data);
    try {
        const WfdbHeader h = ParseWfdbHeader(text, "x.hea");
        std::vector<std::vector<std::uint8_t>> files;
        const std::uint8_t* rest = zero == data + size ? zero : zero + 1;
        // Every distinct file gets the same image: enough to reach every format's paths.
        for (std::size_t k = 0; k < h.signals.size(); ++k) {
            if (k == 0 || h.signals[k].fileName != h.signals[k - 1].fileName) {
                files.emplace_back(rest, data + size);
            }
        }
        std::vector<std::string> warnings;
        const SignalRecording r = DecodeWfdbRecord(h, files, "x.hea", &warnings);
        FUZZ_CHECK(r.channels.size() == h.signals.size());
        for (std::size_t k = 0; k < r.channels.size(); ++k) {
            const std::size_t n = r.channels[k].Size();
            FUZZ_CHECK(n % static_cast<std::size_t>(h.signals[k].samplesPerFrame) == 0);
            FUZZ_CHECK(n / static_cast<std::size_t>(h.signals[k].samplesPerFrame) ==
                       r.channels[0].Size() /
                           static_cast<std::size_t>(h.signals[0].samplesPerFrame));
            // No format packs more than a sample into a byte: never more than the file holds.
            FUZZ_CHECK(n <= static_cast<std::size_t>(data + size - rest));
        }
    } catch (const SignalFileError& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("Файл x.hea: "));
    }
    return 0;
}
