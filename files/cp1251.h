// Windows-1251, the single-byte text of every file the program reads or writes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hrv {

// Windows-1251 bytes to UTF-8 text.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 text to Windows-1251 bytes; a character without a Windows-1251 byte becomes '?', and so
// does each byte that is not part of a well-formed UTF-8 sequence (overlong forms, surrogates and
// stray bytes are never taken for the character they seem to encode).
std::string Utf8ToCp1251(std::string_view text);

// The Windows-1251 byte of a character, or nullopt when the code page has none.
std::optional<char> Cp1251Byte(char32_t c);

// Decodes the UTF-8 sequence at text[i] and moves i past it. Nullopt, with i past the first byte
// only, when the bytes there are not well-formed UTF-8: a stray continuation byte, a cut
// sequence, an overlong form, a surrogate or a value above U+10FFFF.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& i);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

} // namespace hrv
