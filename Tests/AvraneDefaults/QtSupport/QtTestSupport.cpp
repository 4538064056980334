#include "QtSupport/QtTestSupport.h"

#include <atomic>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

namespace avrane::testing {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(deadline);
    while (!condition()) {
        if (!guard.isActive()) return false;
        // Blocks until some event arrives; the guard's own expiry is one.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QString testHome() {
    return qEnvironmentVariable("AVRANE_TEST_HOME");
}

QString freshFilePath(const QString& suffix) {
    static std::atomic<int> counter{0};
    const QString dir = testHome() + QStringLiteral("/files");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/file") + QString::number(++counter) + suffix;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size()) {
        qFatal("cannot write the test file %s", qPrintable(path));
    }
}

}  // namespace avrane::testing
