// The user's regional settings from the regional data of every locale Qt knows.
#include "presentation/regional.h"

#include "files/cp1251.h"
#include "files/file_io.h"
#include "presentation/regional_data.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace hrv {

namespace {

// The "C" locale's values, for "C", "POSIX" and every name the regional data does not know.
constexpr regional_data::Format kCFormat{"MM/dd/yy", '.', U'0'};

// glibc's script modifiers ("sr_RS@latin", "uz_UZ@cyrillic") as the script codes Qt takes.
std::string_view ScriptOfModifier(std::string_view modifier) {
    constexpr std::pair<std::string_view, std::string_view> kScripts[] = {
        {"latin", "Latn"}, {"cyrillic", "Cyrl"}, {"devanagari", "Deva"}, {"arabic", "Arab"}};
    for (const auto& [name, script] : kScripts) {
        if (modifier == name) {
            return script;
        }
    }
    return {};
}

const regional_data::Format* Find(std::string_view key) {
    const regional_data::Name* begin = regional_data::kNames;
    const regional_data::Name* end = begin + regional_data::kNameCount;
    const regional_data::Name* it =
        std::lower_bound(begin, end, key, [](const regional_data::Name& n, std::string_view k) {
            return std::string_view(n.name) < k;
        });
    return it != end && std::string_view(it->name) == key ? &regional_data::kFormats[it->format]
                                                          : nullptr;
}

// A locale name as the environment ("hu_HU.UTF-8", "sr_RS@latin") or Windows ("sr-Latn-RS")
// gives it, looked up as Qt's QLocale does: language, script and territory, else language and
// script, else language and territory, else the language alone.
const regional_data::Format& FormatOf(std::string_view name) {
    const std::size_t at = name.find('@');
    std::string_view modifier = at == std::string_view::npos ? "" : name.substr(at + 1);
    modifier = modifier.substr(0, modifier.find('.'));
    std::string base(name.substr(0, name.find_first_of(".@")));
    std::replace(base.begin(), base.end(), '-', '_');
    if (base.empty() || base == "C" || base == "POSIX") {
        return kCFormat;
    }
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t to = base.find('_', from);
        parts.push_back(base.substr(from, to - from));
        if (to == std::string::npos) {
            break;
        }
        from = to + 1;
    }
    const auto ascii = [](std::string s, bool upperFirst, bool upperRest) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            const bool upper = i == 0 ? upperFirst : upperRest;
            if (upper && s[i] >= 'a' && s[i] <= 'z') {
                s[i] = static_cast<char>(s[i] - 'a' + 'A');
            } else if (!upper && s[i] >= 'A' && s[i] <= 'Z') {
                s[i] = static_cast<char>(s[i] - 'A' + 'a');
            }
        }
        return s;
    };
    const std::string language = ascii(parts[0], false, false);
    std::string script(ScriptOfModifier(modifier));
    std::string territory;
    std::size_t next = 1;
    if (next < parts.size() && parts[next].size() == 4) {
        script = ascii(parts[next++], true, false);
    }
    if (next < parts.size()) {
        territory = ascii(parts[next], true, true);
    }
    std::vector<std::string> keys;
    if (!script.empty() && !territory.empty()) {
        keys.push_back(language + "_" + script + "_" + territory);
    }
    if (!script.empty()) {
        keys.push_back(language + "_" + script);
    }
    if (!territory.empty()) {
        keys.push_back(language + "_" + territory);
    }
    keys.push_back(language);
    for (const std::string& key : keys) {
        if (const regional_data::Format* f = Find(key)) {
            return *f;
        }
    }
    return kCFormat;
}

std::string Digits(int value, std::size_t width, char32_t zero) {
    std::string s = std::to_string(value);
    if (s.size() < width) {
        s.insert(0, width - s.size(), '0');
    }
    if (zero == U'0') {
        return s;
    }
    std::string out;
    for (const char d : s) {
        AppendUtf8(out, zero + static_cast<char32_t>(d - '0'));
    }
    return out;
}

std::string FormatDateWith(std::string_view pattern, int year, int month, int day, char32_t zero) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            // 'text' stands as it is; '' is a quote.
            std::size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == '\'') {
                out += '\'';
                i = j + 1;
                continue;
            }
            for (; j < pattern.size(); ++j) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        out += '\'';
                        ++j;
                        continue;
                    }
                    break;
                }
                out += pattern[j];
            }
            i = j + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        if (c == 'd') {
            out += Digits(day, run >= 2 ? 2 : 1, zero);
        } else if (c == 'M') {
            out += Digits(month, run >= 2 ? 2 : 1, zero);
        } else if (c == 'y') {
            out += run >= 4 ? Digits(year, 4, zero) : Digits(year % 100, 2, zero);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

#ifndef _WIN32
std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}
#endif

} // namespace

std::string FormatDate(std::string_view pattern, int year, int month, int day) {
    return FormatDateWith(pattern, year, month, day, U'0');
}

namespace {

// The local date of `seconds` since 1970 written with `pattern` in the digits from `zero` on.
std::function<std::string(std::int64_t)> ShortDateOf(std::string pattern, char32_t zero) {
    return [pattern = std::move(pattern), zero](std::int64_t seconds) {
        const auto t = static_cast<std::time_t>(seconds);
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &t);
#else
        localtime_r(&t, &local);
#endif
        return FormatDateWith(pattern, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, zero);
    };
}

#ifdef _WIN32
// A value of the user's regional settings as Windows gives it (`own`: with what the user set in
// the Control Panel; otherwise the locale's own), UTF-8; empty if it gives none.
std::string UserLocaleValue(LCTYPE type, bool own) {
    wchar_t value[128] = {};
    const LCTYPE query = own ? type : type | LOCALE_NOUSEROVERRIDE;
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, query, value, 128);
    if (n <= 1) {
        return {};
    }
    std::string out;
    for (const wchar_t* c = value; *c != 0; ++c) {
        AppendUtf8(out, static_cast<char32_t>(*c));
    }
    return out;
}
#endif

} // namespace

RegionalFormat RegionalFormatOf(std::string_view timeLocale, std::string_view numericLocale) {
    RegionalFormat r;
    r.decimalSeparator = FormatOf(numericLocale).decimalSeparator;
    const regional_data::Format& time = FormatOf(timeLocale);
    r.shortDate = ShortDateOf(time.shortDate, time.zeroDigit);
    return r;
}

RegionalFormat UserRegionalFormat() {
#ifdef _WIN32
    // A Windows program takes the user's regional settings from the system ("hu-HU").
    const std::string name = UserLocaleName();
    RegionalFormat r = RegionalFormatOf(name, name);
    // What the user set in the Control Panel in place of the locale's own values.
    const std::string decimal = UserLocaleValue(LOCALE_SDECIMAL, true);
    if (decimal.size() == 1 && decimal != UserLocaleValue(LOCALE_SDECIMAL, false) &&
        (decimal[0] < '0' || decimal[0] > '9')) {
        r.decimalSeparator = decimal[0];
    }
    const std::string date = UserLocaleValue(LOCALE_SSHORTDATE, true);
    if (!date.empty() && date != UserLocaleValue(LOCALE_SSHORTDATE, false)) {
        r.shortDate = ShortDateOf(date, U'0');
    }
    return r;
#else
    const std::string_view all = Environment("LC_ALL");
    const std::string_view lang = Environment("LANG");
    const auto category = [&](const char* name) {
        std::string_view v = all.empty() ? Environment(name) : all;
        return v.empty() ? lang : v;
    };
    return RegionalFormatOf(category("LC_TIME"), category("LC_NUMERIC"));
#endif
}

#ifdef _WIN32
std::string UserLocaleName() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SNAME, name, LOCALE_NAME_MAX_LENGTH) <=
        0) {
        return "C";
    }
    std::string out;
    for (const wchar_t* c = name; *c != 0; ++c) {
        out += *c < 0x80 ? static_cast<char>(*c) : '?';
    }
    return out;
}
#endif

std::string FileDateText(const std::string& path, const RegionalFormat& regional) {
    return regional.shortDate(FileModificationTime(path));
}

} // namespace hrv
