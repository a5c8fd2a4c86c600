// The main window's output commands: printing, printer set-up, the summary table and batch
// conversion.
#include "ui/form_main.h"

namespace hrv {

void TFormMain::TB_PrintClick() {
    // Filled in by the output work.
}

void TFormMain::ToolButton4Click() {
    // Filled in by the output work.
}

void TFormMain::TB_ReportClick() {
    // Filled in by the output work.
}

void TFormMain::TB_BatchClick() {
    // Filled in by the output work.
}

} // namespace hrv
