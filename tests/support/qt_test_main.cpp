// The window tests run inside one QApplication on the offscreen platform (unless a platform is
// named), with Russian regional settings (decimal comma, day.month.year dates) as the program's
// users have them.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt takes these from its own locale data, whether or not the C library has the locale.
    qputenv("LC_ALL", "ru_RU.UTF-8");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RVX"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
