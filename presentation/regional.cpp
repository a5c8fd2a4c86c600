// The user's regional settings as the command-line tool sees them.
#include "presentation/regional.h"

#include "files/file_io.h"

#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace hrv {

namespace {

std::locale EnvironmentLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic(); // the environment names a locale that is not installed
    }
}

} // namespace

RegionalFormat UserRegionalFormat() {
    const std::locale loc = EnvironmentLocale();
    RegionalFormat r;
    r.decimalSeparator = std::use_facet<std::numpunct<char>>(loc).decimal_point();
    r.shortDate = [loc](std::int64_t seconds) {
        const auto t = static_cast<std::time_t>(seconds);
        std::tm local{};
        localtime_r(&t, &local);
        std::ostringstream os;
        os.imbue(loc);
        os << std::put_time(&local, "%x"); // the locale's date representation
        return os.str();
    };
    return r;
}

std::string FileDateText(const std::string& path, const RegionalFormat& regional) {
    return regional.shortDate(FileModificationTime(path));
}

} // namespace hrv
