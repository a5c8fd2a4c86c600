// The window tests run inside one QApplication on the offscreen platform, with Russian regional
// settings (decimal comma, day.month.year dates).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("LC_ALL", "ru_RU.UTF-8");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RVX"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
