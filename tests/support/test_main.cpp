// The one main() of every test program: a fixed character locale, a private
// settings and data folder, and a Qt application for the widget tests.
#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // Settings and the application-data folder must never be the user's own.
    QTemporaryDir home;
    const QByteArray root = home.path().toUtf8();
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);

    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
    return RUN_ALL_TESTS();
}
