// EDF/BDF file bytes as the reader takes them: the header check here, then EDFlib on the file
// (written to a scratch file, as EDFlib reads only files). The file reads, every channel as long
// as its records say, or it is refused with a message that names it.
#include "files/edf_file.h"
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    static const std::string path = "/tmp/rvx_fuzz_edf_" + std::to_string(::getpid()) + ".edf";
    const std::string fault = EdfHeaderFault({data, size}, size);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, out) == size);
    std::fclose(out);
    try {
        std::vector<EdfAnnotation> notes;
        const SignalRecording r = ReadEdfRecord(path, {true}, &notes);
        FUZZ_CHECK(fault.empty());
        std::size_t samples = 0;
        for (const SignalChannel& c : r.channels) {
            FUZZ_CHECK(c.rate > 0 && c.gain != 0);
            samples += c.Size();
        }
        FUZZ_CHECK(2 * samples <= size);
    } catch (const SignalFileError& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("Файл " + path + ": "));
    }
    return 0;
}
