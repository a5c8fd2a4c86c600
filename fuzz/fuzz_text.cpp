// The text helpers on any bytes: path parts, JSON quoting, Windows-1251 and FormatFixed.
#include "cli/json_writer.h"
#include "files/cp1251.h"
#include "files/paths.h"
#include "fuzz/fuzz_support.h"
#include "presentation/format_fixed.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

void Paths(const std::string& p) {
    using namespace hrv;
    const std::string dir = DirectoryOfPath(p);
    FUZZ_CHECK(p.compare(0, dir.size(), dir) == 0);
    const std::string base = BaseNameOfPath(p);
    FUZZ_CHECK(std::none_of(base.begin(), base.end(), IsSeparator));
    FUZZ_CHECK(p.find(base) != std::string::npos);
    const std::string spaced = ReplaceSpacesInFileName(p);
    FUZZ_CHECK(spaced.size() == p.size());
    FUZZ_CHECK(DirectoryOfPath(spaced) == dir);
    const std::string rr = RrPathForPpg(p);
    FUZZ_CHECK(rr.size() >= 2 && rr.compare(rr.size() - 2, 2, "rr") == 0);
    FUZZ_CHECK(DirectoryOfPath(rr) == dir);
    const std::string ext = ExtensionOfPath(p);
    FUZZ_CHECK(std::none_of(ext.begin(), ext.end(), IsSeparator));
    FUZZ_CHECK(std::none_of(ext.begin(), ext.end(), [](char c) { return c >= 'A' && c <= 'Z'; }));
}

void Json(const std::string& s) {
    using namespace hrv;
    const std::string q = JsonObject::Quote(s);
    FUZZ_CHECK(q.size() >= 2 && q.front() == '"' && q.back() == '"');
    FUZZ_CHECK(std::none_of(q.begin(), q.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    const std::string line = JsonObject().Str("file", s).Bool("ok", true).Line();
    FUZZ_CHECK(line.find('\n') == std::string::npos && line.back() == '}');
    FUZZ_CHECK(hrv::fuzz::ValidUtf8(line)); // whatever bytes the path holds
}

void Cp1251(const std::string& s) {
    using namespace hrv;
    const std::string utf8 = Cp1251ToUtf8(s);
    FUZZ_CHECK(hrv::fuzz::ValidUtf8(utf8));
    FUZZ_CHECK(Utf8ToCp1251(utf8) == s); // every byte comes back
    const std::string bytes = Utf8ToCp1251(s);
    FUZZ_CHECK(bytes.size() <= s.size());
    if (hrv::fuzz::ValidUtf8(s)) {
        // One byte per character.
        const auto chars = std::count_if(s.begin(), s.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
        });
        FUZZ_CHECK(static_cast<std::ptrdiff_t>(bytes.size()) == chars);
    }
}

void Fixed(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double) + 2) {
        return;
    }
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    const int decimals = data[sizeof value] % 16;
    const char separator = (data[sizeof value + 1] & 1) != 0 ? ',' : '.';
    const std::string text = hrv::FormatFixed(value, decimals, separator);
    FUZZ_CHECK(!text.empty());
    if (!std::isfinite(value)) {
        return;
    }
    FUZZ_CHECK(std::all_of(text.begin(), text.end(), [separator](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == separator || c == 'E';
    }));
    const auto sep = text.find(separator);
    if (text.find('E') == std::string::npos) {
        // Fixed notation: exactly `decimals` digits after the separator.
        FUZZ_CHECK(decimals == 0 ? sep == std::string::npos
                                 : sep != std::string::npos &&
                                       text.size() - sep - 1 == static_cast<std::size_t>(decimals));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);
    Paths(s);
    Json(s);
    Cp1251(s);
    Fixed(data, size);
    return 0;
}
