// The window-side output tests run on Qt's offscreen platform with Russian regional settings
// (decimal comma, dates as dd.MM.yyyy), as the program's users have them.
#include <cstdlib>
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Qt takes these from its own locale data, whether or not the C library has the locale.
    ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
