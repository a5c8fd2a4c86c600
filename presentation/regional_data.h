// The regional data of every locale Qt knows (presentation/regional_data.cpp, written by
// tools/gen_regional from Qt's locale data).
#pragma once

#include <cstddef>
#include <cstdint>

namespace hrv::regional_data {

struct Format {
    const char* shortDate; // a Qt date pattern, UTF-8: d dd M MM yy yyyy and 'quoted' text
    char decimalSeparator;
    char32_t zeroDigit; // the locale's digit zero; the other nine follow it
};

struct Name {
    char name[13];       // "de", "de_CH", "sr_Latn", "sr_Latn_ME", "es_419"
    std::uint8_t format; // an index into kFormats
};

extern const Format kFormats[];
extern const std::size_t kFormatCount;
// In byte order. A name is there only where its values differ from those found without it.
extern const Name kNames[];
extern const std::size_t kNameCount;

} // namespace hrv::regional_data
