// For looking at the window: opens a recording (scripted open dialog), shows the window
// maximised and saves a picture of it. Prints how long Open took until the charts were drawn,
// the first time and once more.
// Usage: ui_screenshot <recording> <file type 1|2> <picture.png>
#include "analysis/fragment_data.h"
#include "tests/support/fake_prompts.h"
#include "ui/confirm_dialog.h"
#include "ui/form_main.h"
#include "ui/form_setup.h"
#include "ui/progress_form.h"

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: ui_screenshot <recording> <1|2> <picture.png>\n");
        return 2;
    }
    const QString recording = QString::fromLocal8Bit(argv[1]);
    const int type = QString::fromLocal8Bit(argv[2]).toInt();
    const QString picture = QString::fromLocal8Bit(argv[3]);

    hrv::FakePrompts prompts;
    auto fragment = std::make_unique<hrv::FragmentData>();
    hrv::TFormMain window(*fragment, prompts);
    window.showMaximized();
    if (qEnvironmentVariableIsSet("HRV_SCREENSHOT_FILL")) { // no window manager to maximise it
        window.setGeometry(window.screen()->availableGeometry());
    }
    QTimer::singleShot(500, &window, [&] {
        prompts.openAnswers.push_back({recording, type});
        QElapsedTimer clock;
        clock.start();
        window.TB_OpenClick();
        window.repaint(); // every chart drawn
        std::printf("open to drawn: %lld ms\n", static_cast<long long>(clock.elapsed()));
        // Once more: an open after the first, when the charts' series already exist.
        prompts.openAnswers.push_back({recording, type});
        clock.restart();
        window.TB_OpenClick();
        window.repaint();
        std::printf("next open to drawn: %lld ms\n", static_cast<long long>(clock.elapsed()));
        for (const auto& m : prompts.messages) {
            std::printf("message: %s\n", m.text.toUtf8().constData());
        }
        QTimer::singleShot(700, &window, [&] {
            window.grab().save(picture);
            if (qEnvironmentVariableIsSet("HRV_SCREENSHOT_DIALOGS")) {
                hrv::TMyMessageForm confirm(&window);
                confirm.Setup(
                    QStringLiteral("Подтверждение"),
                    QStringLiteral("Файл /home/user/Data/my_file.rr существует. Переписать?"),
                    QStringLiteral("Переписать"), QStringLiteral("Отменить"), QString());
                confirm.show();
                confirm.grab().save(picture + QStringLiteral(".confirm.png"));
                // The dialog as "Параметры" opens it: the correction box as the setting is.
                window.FormSetup->ChB_Correction->setChecked(fragment->Correct ==
                                                             hrv::CorrectionMode::Auto);
                window.FormSetup->show();
                window.FormSetup->grab().save(picture + QStringLiteral(".setup.png"));
                window.FormSetup->hide();
                window.ProgressForm->Begin(0, 150);
                window.ProgressForm->SetPosition(60);
                window.ProgressForm->grab().save(picture + QStringLiteral(".progress.png"));
                window.ProgressForm->Finish();
            }
            if (qEnvironmentVariableIsSet("HRV_SCREENSHOT_WAIT")) {
                QTimer::singleShot(qEnvironmentVariableIntValue("HRV_SCREENSHOT_WAIT"), &app,
                                   &QApplication::quit);
            } else {
                QApplication::quit();
            }
        });
    });
    return QApplication::exec();
}
