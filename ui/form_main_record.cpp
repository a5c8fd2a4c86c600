// The main window's recording commands: Start, the 100-ms decoding step and the hand-over.
#include "ui/form_main.h"

#include <QDialog>

namespace hrv {

void TFormMain::TB_StartClick() {
    // Filled in by the recording work.
}

void TFormMain::Timer1Timer() {
    // Filled in by the recording work.
}

void TFormMain::Stop() {
    // Filled in by the recording work.
}

void TFormMain::ShowDeviceStatus(std::uint8_t code) {
    // Filled in by the recording work.
    static_cast<void>(code);
}

QDialog* TFormMain::CreateRecForm() {
    // Filled in by the recording work.
    return nullptr;
}

} // namespace hrv
