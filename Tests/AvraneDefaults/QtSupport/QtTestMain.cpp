#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

// Every Qt suite runs with its settings and downloads inside a folder of its own, so that
// no test reads or writes the user's files and parallel test processes do not meet.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) qFatal("cannot create a temporary folder");
    const QString root = home.path();
    QDir().mkpath(root + QStringLiteral("/config"));
    QDir().mkpath(root + QStringLiteral("/tmp"));
    qputenv("AVRANE_TEST_HOME", root.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("TMPDIR", (root + QStringLiteral("/tmp")).toLocal8Bit());

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
