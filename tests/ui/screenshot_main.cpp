// For looking at the window: opens a recording (scripted open dialog), shows the window
// maximised and saves a picture of it. Prints how long Open took until the charts were drawn.
// Usage: ui_screenshot <recording> <file type 1|2> <picture.png>
#include "analysis/fragment_data.h"
#include "ui/fake_prompts.h"
#include "files/form_setup.h"
#include "ui/confirm_dialog.h"
#include "ui/form_main.h"
#include "ui/progress_form.h"

#include <QApplication>
#include <QFrame>
#include <QLayout>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

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
        for (const auto& m : prompts.messages) {
            std::printf("message: %s\n", m.text.toUtf8().constData());
        }
        QTimer::singleShot(700, &window, [&] {
            if (qEnvironmentVariableIsSet("HRV_SCREENSHOT_GEOMETRY")) {
                for (int i = 0; i < window.Pan_Histo->layout()->count(); ++i) { auto* it = window.Pan_Histo->layout()->itemAt(i); std::printf("item %d empty %d geom %d,%d %dx%d widget %s hidden %d\n", i, it->isEmpty(), it->geometry().x(), it->geometry().y(), it->geometry().width(), it->geometry().height(), it->widget() ? it->widget()->objectName().toUtf8().constData() : "-", it->widget() ? it->widget()->isHidden() : -1); }
                std::printf("histo layout %p count %d geom %d,%d %dx%d enabled %d\n", (void*)window.Pan_Histo->layout(), window.Pan_Histo->layout()->count(), window.Pan_Histo->layout()->geometry().x(), window.Pan_Histo->layout()->geometry().y(), window.Pan_Histo->layout()->geometry().width(), window.Pan_Histo->layout()->geometry().height(), window.Pan_Histo->layout()->isEnabled());
                for (QWidget* w : window.findChildren<QWidget*>()) {
                    if (!w->objectName().isEmpty()) {
                        std::printf("%s %d,%d %dx%d %s\n", w->objectName().toUtf8().constData(),
                                    w->x(), w->y(), w->width(), w->height(),
                                    w->isVisible() ? "" : "hidden");
                    }
                }
            }
            window.grab().save(picture);
            if (qEnvironmentVariableIsSet("HRV_SCREENSHOT_DIALOGS")) {
                hrv::TMyMessageForm confirm(&window);
                confirm.Setup(QStringLiteral("Подтверждение"),
                              QStringLiteral("Файл /home/user/Data/my_file.rr существует. Переписать?"),
                              QStringLiteral("Переписать"), QStringLiteral("Отменить"), QString());
                confirm.show();
                confirm.grab().save(picture + QStringLiteral(".confirm.png"));
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
