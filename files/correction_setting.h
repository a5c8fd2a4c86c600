// The window's artefact-correction setting "Коррекция артефактов": a small text file of its own
// beside the settings file, so the 176-byte settings record keeps its layout and its bytes.
#pragma once

#include "analysis/fragment_data.h"

#include <string>

namespace hrv {

inline constexpr char kCorrectionFileName[] = "rvxcorr.cfg";
// "Показывать сигнал": the signal strip for RR and PPG files, in a file of its own beside it.
inline constexpr char kSignalFileName[] = "rvxsig.cfg";
// "Стандартный анализ в отчете": the printed page's block of the standard analysis, likewise.
inline constexpr char kStandardFileName[] = "rvxstd.cfg";

// Reads the setting from the file at `path`: its first line "auto" turns the correction on;
// anything else, no file or a file that cannot be read leaves it off. Never throws.
CorrectionMode ReadCorrectionSetting(const std::string& path);

// Replaces the file with one line, "auto" or "none", ended by CR LF (temporary file, then rename:
// a failure leaves the previous file intact). Throws FileIoError.
void WriteCorrectionSetting(const std::string& path, CorrectionMode mode);

// The same for the signal strip and the standard block: "on" turns them on, anything else (or
// no file) leaves them off.
bool ReadSignalSetting(const std::string& path);
void WriteSignalSetting(const std::string& path, bool shown);
inline bool ReadStandardSetting(const std::string& path) {
    return ReadSignalSetting(path);
}
inline void WriteStandardSetting(const std::string& path, bool on) {
    WriteSignalSetting(path, on);
}

} // namespace hrv
