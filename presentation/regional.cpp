// The user's regional settings from one table of regional data.
#include "presentation/regional.h"

#include "files/file_io.h"

#include <array>
#include <cstdlib>
#include <ctime>

namespace hrv {

namespace {

struct RegionalEntry {
    std::string_view locale; // a language, or a language and territory ("de_CH")
    std::string_view shortDate;
    char decimalSeparator;
};

// The short date formats and decimal separators of the common locales (the values Qt's locale
// data gives for them). A language and territory is looked up before the language alone.
constexpr std::array kRegional{
    RegionalEntry{"C", "MM/dd/yy", '.'},       RegionalEntry{"POSIX", "MM/dd/yy", '.'},
    RegionalEntry{"ru", "dd.MM.yyyy", ','},    RegionalEntry{"uk", "dd.MM.yy", ','},
    RegionalEntry{"be", "d.MM.yy", ','},       RegionalEntry{"kk", "dd.MM.yy", ','},
    RegionalEntry{"en", "M/d/yy", '.'},        RegionalEntry{"en_GB", "dd/MM/yyyy", '.'},
    RegionalEntry{"en_IE", "dd/MM/yyyy", '.'}, RegionalEntry{"en_AU", "d/M/yy", '.'},
    RegionalEntry{"en_CA", "yyyy-MM-dd", '.'}, RegionalEntry{"en_IN", "dd/MM/yy", '.'},
    RegionalEntry{"de", "dd.MM.yy", ','},      RegionalEntry{"de_CH", "dd.MM.yy", '.'},
    RegionalEntry{"fr", "dd/MM/yyyy", ','},    RegionalEntry{"fr_CA", "yyyy-MM-dd", ','},
    RegionalEntry{"fr_CH", "dd.MM.yy", ','},   RegionalEntry{"fr_BE", "d/MM/yy", ','},
    RegionalEntry{"it", "dd/MM/yy", ','},      RegionalEntry{"es", "d/M/yy", ','},
    RegionalEntry{"pl", "d.MM.yyyy", ','},     RegionalEntry{"pt", "dd/MM/yyyy", ','},
    RegionalEntry{"nl", "dd-MM-yyyy", ','},    RegionalEntry{"cs", "dd.MM.yy", ','},
    RegionalEntry{"tr", "d.MM.yyyy", ','},     RegionalEntry{"fi", "d.M.yyyy", ','},
    RegionalEntry{"sv", "yyyy-MM-dd", ','},    RegionalEntry{"da", "dd.MM.yyyy", ','},
    RegionalEntry{"nb", "dd.MM.yyyy", ','},    RegionalEntry{"ro", "dd.MM.yyyy", ','},
    RegionalEntry{"lt", "yyyy-MM-dd", ','},    RegionalEntry{"lv", "dd.MM.yy", ','},
    RegionalEntry{"et", "dd.MM.yy", ','},      RegionalEntry{"hy", "dd.MM.yy", ','},
    RegionalEntry{"ka", "dd.MM.yy", ','},      RegionalEntry{"az", "dd.MM.yy", ','},
    RegionalEntry{"uz", "dd/MM/yy", ','},      RegionalEntry{"ky", "d/M/yy", ','},
    RegionalEntry{"tg", "dd/MM/yy", ','},      RegionalEntry{"he", "d.M.yyyy", '.'},
    RegionalEntry{"ja", "yyyy/MM/dd", '.'},    RegionalEntry{"zh", "yyyy/M/d", '.'},
    RegionalEntry{"pt_PT", "dd/MM/yy", ','},   RegionalEntry{"it_CH", "dd.MM.yy", '.'},
    RegionalEntry{"es_MX", "dd/MM/yy", '.'},   RegionalEntry{"nl_BE", "d/MM/yyyy", ','},
    RegionalEntry{"en_NZ", "d/MM/yy", '.'},    RegionalEntry{"en_ZA", "yyyy/MM/dd", ','},
};

const RegionalEntry& EntryOf(std::string_view name) {
    // "ru_RU.UTF-8@euro": the language and territory end at the encoding or the modifier.
    name = name.substr(0, name.find_first_of(".@"));
    const auto find = [](std::string_view key) -> const RegionalEntry* {
        for (const RegionalEntry& e : kRegional) {
            if (e.locale == key) {
                return &e;
            }
        }
        return nullptr;
    };
    if (const RegionalEntry* e = find(name)) {
        return *e;
    }
    if (const RegionalEntry* e = find(name.substr(0, name.find('_')))) {
        return *e;
    }
    return kRegional.front(); // "C"
}

std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

std::string Digits(int value, std::size_t width) {
    std::string s = std::to_string(value);
    return s.size() < width ? std::string(width - s.size(), '0') + s : s;
}

} // namespace

std::string FormatDate(std::string_view pattern, int year, int month, int day) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        if (c == 'd') {
            out += Digits(day, run >= 2 ? 2 : 1);
        } else if (c == 'M') {
            out += Digits(month, run >= 2 ? 2 : 1);
        } else if (c == 'y') {
            out += run >= 4 ? Digits(year, 4) : Digits(year % 100, 2);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

RegionalFormat RegionalFormatOf(std::string_view timeLocale, std::string_view numericLocale) {
    RegionalFormat r;
    r.decimalSeparator = EntryOf(numericLocale).decimalSeparator;
    r.shortDate = [pattern = EntryOf(timeLocale).shortDate](std::int64_t seconds) {
        const auto t = static_cast<std::time_t>(seconds);
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &t);
#else
        localtime_r(&t, &local);
#endif
        return FormatDate(pattern, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    };
    return r;
}

RegionalFormat UserRegionalFormat() {
    const std::string_view all = Environment("LC_ALL");
    const std::string_view lang = Environment("LANG");
    const auto category = [&](const char* name) {
        std::string_view v = all.empty() ? Environment(name) : all;
        return v.empty() ? lang : v;
    };
    return RegionalFormatOf(category("LC_TIME"), category("LC_NUMERIC"));
}

std::string FileDateText(const std::string& path, const RegionalFormat& regional) {
    return regional.shortDate(FileModificationTime(path));
}

} // namespace hrv
