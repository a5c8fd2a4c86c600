// rvx: the heart-rate-variability workstation. The main window, maximised, over the current
// directory (its settings file, summary table and Data folder). With --user-folder (the desktop
// menu's entry) that directory is first ~/RVX, made on the first start.
#include "analysis/fragment_data.h"
#include "presentation/user_folder.h"
#include "ui/form_main.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"

#include <cstring>
#include <iostream>

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    bool userFolder = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "rvx " << RVX_VERSION << "\n";
            return 0;
        }
        userFolder = userFolder || std::strcmp(argv[i], "--user-folder") == 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RVX"));
    QApplication::setDesktopFileName(QStringLiteral("rvx")); // the menu entry's icon and name
    hrv::InstallQtTranslations(); // without them the framework's dialogs stay in English
    hrv::QtPrompts prompts;
    if (userFolder) {
        const std::string error =
            hrv::EnterUserFolder(hrv::UserFolderIn(QDir::homePath().toStdString()));
        if (!error.empty()) {
            prompts.ShowMessage(nullptr, hrv::MessageKind::Warning, hrv::Q(error));
        }
    }
    hrv::TFormMain window(hrv::Fragment(), prompts);
    window.showMaximized();
    return QApplication::exec();
}
