// The serial link's texts, shown by the window and by rvx-cli record (UTF-8).
#pragma once

#include <string_view>

namespace hrv::msg {

inline constexpr std::string_view kComInitError = "Ошибка инициализации COM";
inline constexpr std::string_view kComReadError = "Ошибка чтения COM-порта";

} // namespace hrv::msg
