// rvx: the heart-rate-variability workstation. The main window, maximised, over the current
// directory (its settings file, summary table and Data folder).
#include "analysis/fragment_data.h"
#include "ui/form_main.h"
#include "ui/prompts.h"
#include "ui/qt_translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RVX"));
    hrv::InstallQtTranslations(); // without them the framework's dialogs stay in English
    hrv::QtPrompts prompts;
    hrv::TFormMain window(hrv::Fragment(), prompts);
    window.showMaximized();
    return QApplication::exec();
}
