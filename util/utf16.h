// UTF-8, the encoding of every text and path in the program, to and from the UTF-16 of the
// Windows API. Windows only.
#pragma once

#ifdef _WIN32

#include <string>
#include <string_view>
#include <windows.h>

namespace hrv {

inline std::wstring Utf16(std::string_view utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

inline std::string Utf8(std::wstring_view utf16) {
    if (utf16.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(utf16.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace hrv

#endif
