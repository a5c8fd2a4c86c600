// Text helpers of the window code: UTF-8 to QString, and the user's regional formats.
#pragma once

#include <string_view>

#include <QString>

namespace hrv {

// A UTF-8 text of the core as a QString.
inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The user's decimal separator as FormatFixed takes it, from the same regional data as rvx-cli's
// (presentation/regional.h).
char RegionalSeparator();

} // namespace hrv
