// WFDB header text: parsed, or refused with a message that names the file; what is parsed holds
// within the limits the reader promises.
#include "files/wfdb_header.h"
#include "fuzz/fuzz_support.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const WfdbHeader h = ParseWfdbHeader(text, "x.hea");
        FUZZ_CHECK(h.frameRate > 0 && h.frames >= 0);
        FUZZ_CHECK(h.signals.size() <= static_cast<std::size_t>(kWfdbMaxSignals));
        for (const WfdbSignalSpec& s : h.signals) {
            FUZZ_CHECK(s.samplesPerFrame >= 1 && s.samplesPerFrame <= kWfdbMaxSamplesPerFrame);
            FUZZ_CHECK(s.gain != 0 && s.skew >= 0 && s.byteOffset >= 0);
        }
    } catch (const SignalFileError& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("Файл x.hea: "));
    }
    return 0;
}
