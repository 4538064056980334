#include <gmock/gmock.h>

#include <QCoreApplication>
#ifdef AVRANE_TEST_WIDGETS
#include <QApplication>
#endif
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Each Qt suite keeps its settings (XDG_CONFIG_HOME), cache (XDG_CACHE_HOME) and temporary
// files (TMPDIR) in a folder of its own, so no test touches the user's files and parallel
// test processes never meet.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid() || !QDir(home.path()).mkpath("config") || !QDir(home.path()).mkpath("tmp")) qFatal("no test folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    qputenv("TMPDIR", QFile::encodeName(home.filePath("tmp")));
#ifdef AVRANE_TEST_WIDGETS
    // Real widgets, drawn off screen unless the test is given a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
