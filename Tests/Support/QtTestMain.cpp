#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Each Qt suite keeps its settings (XDG_CONFIG_HOME) and temporary files (TMPDIR) in a folder
// of its own, so no test touches the user's files and parallel test processes never meet.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid() || !QDir(home.path()).mkpath("config") || !QDir(home.path()).mkpath("tmp")) qFatal("no test folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("TMPDIR", QFile::encodeName(home.filePath("tmp")));
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
