#include "Support/QtTestSupport.h"

#include <atomic>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

namespace avrane::testing {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    QTimer guard, pace;
    guard.setSingleShot(true);
    guard.start(deadline);
    // Conditions on what no event of ours announces (a screenshot, a file, another process)
    // are looked at again every 20 ms, not only when an event happens to come.
    pace.start(std::chrono::milliseconds(20));
    while (!condition()) {
        if (!guard.isActive()) return false;
        // Blocks until an event arrives; the pace's and the guard's timeouts are events.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QString freshFilePath(const QString& suffix) {
    static std::atomic<int> counter{0};
    return QDir::temp().filePath(QStringLiteral("test-file-%1%2").arg(++counter).arg(suffix));
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) qFatal("cannot write %s", qPrintable(path));
}

}  // namespace avrane::testing
