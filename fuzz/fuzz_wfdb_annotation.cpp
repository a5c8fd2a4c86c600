// WFDB annotation file bytes: the annotations in time order from zero, their beats within the
// record's length, or a refusal that names the file.
#include "files/wfdb_annotation.h"
#include "fuzz/fuzz_support.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    try {
        const auto a = ParseWfdbAnnotations({data, size}, "x.atr");
        FUZZ_CHECK(a.size() <= size / 2);
        for (const WfdbAnnotation& x : a) {
            FUZZ_CHECK(x.sample >= 0 && x.aux.size() < 1024);
        }
        const auto beats = BeatsOfAnnotations(a, 1 << 20, "x.atr");
        for (std::size_t k = 1; k < beats.size(); ++k) {
            FUZZ_CHECK(beats[k - 1].sample <= beats[k].sample);
            FUZZ_CHECK(beats[k].kind != BeatKind::Unknown);
        }
    } catch (const SignalFileError& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("Файл x.atr: "));
    }
    return 0;
}
