// The fixed texts the program shows (UTF-8 here; Windows-1251 only in files).
#pragma once

#include "acquisition/link_messages.h"
#include "files/file_io.h"

#include <string>
#include <string_view>

namespace hrv::msg {

inline constexpr std::string_view kTooLittleData = "Недостаточно данных для анализа";
inline constexpr std::string_view kImportError = "Ошибка импорта данных";
inline constexpr std::string_view kNoRecording = "Нет записи";
inline constexpr std::string_view kNewRecording = "Новая запись";

// "Файл PATH не найден", or what the path is when something other than a file is there (a
// folder, a FIFO, a device, a name too long).
// Save with the beats in view was given the recording shown (or a file of its record).
inline std::string SourceNotOverwritten(const std::string& path) {
    return "Файл " + path + " - исходная запись, она не перезаписывается. Выберите другое имя.";
}

inline std::string FileNotFound(const std::string& path) {
    return MissingFileMessage(path);
}

// A plain analysis of a recording longer than two fragments: how much of it the one fragment
// holds ("24:03:10", DurationText; with `atLeast` the recording is longer still).
inline std::string AnalysedFirstPart(const std::string& duration, bool atLeast = false) {
    return "проанализированы первые 300 с из " + std::string(atLeast ? "более чем " : "") +
           duration;
}
// The same from rvx-cli analyze, with the way to the whole recording.
inline std::string AnalysedPart(const std::string& duration, bool atLeast = false) {
    return AnalysedFirstPart(duration, atLeast) + "; для всей записи: --windows 300";
}

// Recording from the pulse sensor device.
inline std::string NothingReceived(const std::string& port, int seconds) {
    return std::string(kComReadError) + ": от " + port + " ничего не получено за " +
           std::to_string(seconds) + " с";
}
inline std::string SlotLimitWarning(int slots) {
    return "Максимальное количество RR-интервалов в одном фрагменте : " + std::to_string(slots);
}

// Summary table "rvx.txt".
inline constexpr std::string_view kRecordAdded = "Запись добавлена в файл rvx.txt";
inline constexpr std::string_view kRecordAlreadySaved = "Запись уже сохранена в файле rvx.txt";
// The same for a table named on rvx-cli's command line, with the identity refused.
inline std::string RecordAlreadySavedIn(const std::string& identity, const std::string& table) {
    return "Запись «" + identity + "» уже сохранена в файле " + table + ", повторно не добавлена";
}

// The table is held by another program (a window or rvx-cli adding its record): the command
// waits for it.
inline std::string WaitingForTable(const std::string& path) {
    return "Ожидание файла " + path + ": его занимает другая программа";
}

// A file named as the table that is not one: it does not begin with the header (nor with a
// record, when the table was created empty).
inline std::string NotASummaryTable(const std::string& path) {
    return "Файл " + path +
           " не является сводной таблицей: он не начинается со строки заголовка. Запись не "
           "добавлена, файл не изменён";
}

// Rows of the summary table still waiting for it when the window closes.
inline std::string TableRowsWaiting(const std::string& path, int rows) {
    return "Записи, ожидающие файла " + path +
           " (его занимает другая программа): " + std::to_string(rows) + ". Закрыть окно без них?";
}
inline constexpr std::string_view kCloseWithoutRows = "Закрыть";
inline constexpr std::string_view kWaitForRows = "Ждать";

// A finished recording that was never saved, before a command replaces it.
inline constexpr std::string_view kSaveRecordingQuestion = "Сохранить запись?";
inline constexpr std::string_view kSaveRecording = "Сохранить";
inline constexpr std::string_view kKeepRecording = "Отменить";
inline constexpr std::string_view kDropRecording = "Не сохранять";

// Batch conversion of PPG files.
inline constexpr std::string_view kBatchCaption = "Пакетное преобразование *.ppg > *.rr";
inline constexpr std::string_view kBatchWarning =
    "Внимание! Все выбранные файлы *.ppg будут преобразованы в файлы *.rr";
inline constexpr std::string_view kBatchContinue = "Продолжить";
inline constexpr std::string_view kBatchCancel = "Отмена";
inline constexpr std::string_view kBatchDoneOk = "Ok";
inline std::string BatchConverted(int n) {
    return "Преобразовано файлов: " + std::to_string(n);
}

// Printing.
inline constexpr std::string_view kNoPrinter =
    "Принтер не установлен. Выберите печать в файл PDF в окне «Настройка принтера».";
inline constexpr std::string_view kNoPrinterSavePdf =
    "Принтер не установлен. Страницу можно сохранить в файл PDF.";
inline constexpr std::string_view kPdfFilter = "Документ PDF (*.pdf)|*.pdf";
inline constexpr std::string_view kPrintFailed = "Не удалось начать печать";

// Settings file "rvxcfg.cfg".
inline constexpr std::string_view kSettingsReadError =
    "Ошибка чтения файла конфигурации. Будут установлены параметры \"по умолчанию\"";

// The per-user folder of the window started from the desktop menu.
inline std::string UserFolderFailed(const std::string& folder, const std::string& reason,
                                    const std::string& current) {
    return "Не удалось создать рабочую папку " + folder + " (" + reason +
           "). Настройки, таблица rvx.txt и папка Data будут в папке " + current;
}

} // namespace hrv::msg
