// Text helpers of the window code: UTF-8 to QString, and the user's regional formats.
#include "ui/qt_text.h"

#include <QLocale>

namespace hrv {

char RegionalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80) {
        return static_cast<char>(point[0].unicode());
    }
    return '.';
}

} // namespace hrv
