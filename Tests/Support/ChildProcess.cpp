#include "Support/ChildProcess.h"

#include <csignal>

#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStandardPaths>

namespace avrane::testing {

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                         const QString& package) {
    stop();
    name_ = QFileInfo(program).fileName();
    stdout_.clear();
    stderr_.clear();
    consumed_ = 0;
    failure_.clear();
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty() || !QFileInfo(path).isExecutable()) {
        fail(package.isEmpty() ? QStringLiteral("not found") : QStringLiteral("not found (Debian package %1)").arg(package));
        return false;
    }
    process_.setProcessEnvironment(environment);
    // A test that crashes or is killed by ctest must not leave servers behind for the next ones.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(path, arguments);
    if (!process_.waitForStarted(10'000)) {
        fail(QStringLiteral("cannot start %1: %2").arg(path, process_.errorString()));
        return false;
    }
    return true;
}

::testing::AssertionResult ChildProcess::started() const {
    if (failure_.isEmpty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << failure_.toStdString();
}

void ChildProcess::fail(const QString& why) {
    if (!failure_.isEmpty()) return;  // the first cause is the useful one
    collect();
    failure_ = name_.isEmpty() ? why : name_ + QStringLiteral(": ") + why;
    const QString errors = QString::fromLocal8Bit(stderr_).trimmed().right(1200);
    if (!errors.isEmpty()) failure_ += QStringLiteral("\n--- its stderr ends with:\n") + errors;
}

void ChildProcess::collect() {
    if (!process_.isOpen()) return;  // never started
    stdout_ += process_.readAllStandardOutput();
    stderr_ += process_.readAllStandardError();
}

QString ChildProcess::output() {
    collect();
    return QString::fromLocal8Bit(stdout_);
}

QString ChildProcess::errorOutput() {
    collect();
    return QString::fromLocal8Bit(stderr_);
}

static QString ending(const QProcess& process) {
    return process.exitStatus() == QProcess::CrashExit ? QStringLiteral("crashed")
                                                       : QStringLiteral("exited with %1").arg(process.exitCode());
}

std::optional<QString> ChildProcess::waitForLine(const QString& text, std::chrono::milliseconds deadline) {
    const QDeadlineTimer timer(deadline);
    const QByteArray needle = text.toUtf8();
    for (;;) {
        collect();
        for (qsizetype start = consumed_, end; (end = stdout_.indexOf('\n', start)) >= 0; start = end + 1) {
            const QByteArray line = stdout_.mid(start, end - start);
            if (!line.contains(needle)) continue;
            consumed_ = end + 1;
            return QString::fromUtf8(line);
        }
        if (!isRunning()) {
            fail(QStringLiteral("%1 before printing \"%2\"").arg(ending(process_), text));
            return std::nullopt;
        }
        if (timer.hasExpired()) {
            fail(QStringLiteral("printed no \"%1\" within %2 ms").arg(text).arg(deadline.count()));
            return std::nullopt;
        }
        process_.waitForReadyRead(int(qMin<qint64>(timer.remainingTime(), 200)));
    }
}

bool ChildProcess::waitFor(const std::function<bool()>& condition, const QString& what,
                           std::chrono::milliseconds deadline) {
    const QDeadlineTimer timer(deadline);
    while (!condition()) {
        if (!isRunning()) {
            fail(QStringLiteral("%1 before %2").arg(ending(process_), what));
            return false;
        }
        if (timer.hasExpired()) {
            fail(QStringLiteral("not %1 within %2 ms").arg(what).arg(deadline.count()));
            return false;
        }
        process_.waitForFinished(20);  // the pause between checks, cut short if it ends
    }
    return true;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds deadline) {
    if (isRunning() && !process_.waitForFinished(int(deadline.count()))) return std::nullopt;
    collect();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void ChildProcess::stop() {
    if (!isRunning()) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    collect();
}

}  // namespace avrane::testing
