// The fixed texts the program shows (UTF-8 here; Windows-1251 only in files).
#pragma once

#include <string>
#include <string_view>

namespace hrv::msg {

inline constexpr std::string_view kTooLittleData = "Недостаточно данных для анализа";
inline constexpr std::string_view kImportError = "Ошибка импорта данных";
inline constexpr std::string_view kComInitError = "Ошибка инициализации COM";
inline constexpr std::string_view kNoRecording = "Нет записи";
inline constexpr std::string_view kNewRecording = "Новая запись";

inline std::string FileNotFound(const std::string& path) {
    return "Файл " + path + " не найден";
}

} // namespace hrv::msg
