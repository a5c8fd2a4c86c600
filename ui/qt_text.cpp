// Text helpers of the window code: UTF-8 to QString, and the user's regional formats.
#include "ui/qt_text.h"

#include "presentation/regional.h"

namespace hrv {

char RegionalSeparator() {
    return UserRegionalFormat().decimalSeparator;
}

} // namespace hrv
