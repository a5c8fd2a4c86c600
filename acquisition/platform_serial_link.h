// The serial link of the platform the program is built for (termios, or the Windows
// communications functions); defined by the hrv_serial_port library.
#pragma once

#include "acquisition/serial_link.h"

#include <memory>

namespace hrv {

std::unique_ptr<SerialLink> MakePlatformSerialLink();

} // namespace hrv
