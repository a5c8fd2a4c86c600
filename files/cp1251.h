// Windows-1251, the single-byte text of every file the program reads or writes.
#pragma once

#include <string>
#include <string_view>

namespace hrv {

// Windows-1251 bytes to UTF-8 text.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 text to Windows-1251 bytes; a character without a Windows-1251 byte becomes '?'.
std::string Utf8ToCp1251(std::string_view text);

} // namespace hrv
