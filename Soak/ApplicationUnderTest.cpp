#include "Soak/ApplicationUnderTest.h"

#include <csignal>

#include "Soak/ProgramRuns.h"

namespace avrane::soak {

ApplicationUnderTest::~ApplicationUnderTest() {
    process_.disconnect();
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

std::optional<std::string> ApplicationUnderTest::start(const QProcessEnvironment& environment) {
    if (!log_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return "cannot write " + log_.fileName().toStdString();
    process_.setProcessEnvironment(environment);
    process_.setChildProcessModifier(&detachFromTerminal);
    QObject::connect(&process_, &QProcess::readyReadStandardError, [this] { read(); });
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { log_.write(process_.readAllStandardOutput()); });
    QObject::connect(&process_, &QProcess::finished, [this] {
        read();
        if (!stopping_) ended_ = true;
    });
    process_.start(QStringLiteral(AVRANE_BAR_PROGRAM), {});
    if (!process_.waitForStarted(10'000)) return "cannot start avrane-bar: " + process_.errorString().toStdString();
    return std::nullopt;
}

QString ApplicationUnderTest::ending() const {
    return process_.exitStatus() == QProcess::CrashExit ? QStringLiteral("killed by signal %1").arg(process_.exitCode())
                                                        : QStringLiteral("exit %1").arg(process_.exitCode());
}

QString ApplicationUnderTest::stop() {
    stopping_ = true;
    process_.terminate();
    if (!process_.waitForFinished(10'000)) {
        process_.kill();
        process_.waitForFinished(5000);
        return QStringLiteral("did not end within 10 s of SIGTERM");
    }
    read();
    if (process_.exitStatus() == QProcess::CrashExit && process_.exitCode() != SIGTERM) return ending();
    return {};
}

void ApplicationUnderTest::read() {
    pending_ += process_.readAllStandardError();
    log_.write(process_.readAllStandardOutput());
    const auto now = WarningTally::Clock::now();
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        log_.write(line + '\n');
        tally_.line(now, std::string_view(line.constData(), std::size_t(line.size())));
        last_.push_back(line.toStdString());
        if (last_.size() > 20) last_.erase(last_.begin());
    }
    log_.flush();
}

}  // namespace avrane::soak
