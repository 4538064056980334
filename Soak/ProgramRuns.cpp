#include "Soak/ProgramRuns.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace avrane::soak {

QString ProgramEnd::description() const {
    switch (kind) {
    case Kind::exited: return QStringLiteral("exit %1").arg(code);
    case Kind::signalled: return QStringLiteral("killed by signal %1").arg(code);
    case Kind::timedOut: return QStringLiteral("no end within its time, killed");
    case Kind::notStarted: return QStringLiteral("could not be started: %1").arg(QString::fromLocal8Bit(errors));
    }
    return {};
}

void detachFromTerminal() {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

ProgramRuns::ProgramRuns(QProcessEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

ProgramRuns::~ProgramRuns() {
    for (auto& [process, run] : runs_) {
        process->disconnect();  // its callers may be gone already
        process->kill();
        process->waitForFinished(2000);
        delete process;
    }
}

QProcess* ProgramRuns::start(const QString& program, const QStringList& arguments, std::chrono::milliseconds limit,
                             Finished finished) {
    auto* process = new QProcess;
    process->setProcessEnvironment(environment_);
    process->setChildProcessModifier(&detachFromTerminal);
    runs_[process] = Run{std::move(finished)};
    connect(process, &QProcess::finished, this, [this, process] { ended(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) ended(process);
    });
    if (limit.count() > 0) {
        QTimer::singleShot(limit, process, [this, process] {
            runs_[process].timedOut = true;
            process->kill();
        });
    }
    process->start(program, arguments);
    return process;
}

void ProgramRuns::stop(QProcess* process, std::chrono::milliseconds grace) {
    if (!runs_.contains(process)) return;
    process->terminate();
    QTimer::singleShot(grace, process, [process] { process->kill(); });
}

void ProgramRuns::finishAll(std::chrono::milliseconds deadline) {
    const QDeadlineTimer timer(deadline);
    while (!runs_.empty() && !timer.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (const auto& entry : std::map<QProcess*, Run>(runs_)) entry.first->kill();
    while (!runs_.empty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void ProgramRuns::ended(QProcess* process) {
    const auto it = runs_.find(process);
    if (it == runs_.end()) return;
    Run run = std::move(it->second);
    runs_.erase(it);
    ProgramEnd end;
    end.output = process->readAllStandardOutput();
    end.errors = process->readAllStandardError();
    if (process->error() == QProcess::FailedToStart) {
        end.kind = ProgramEnd::Kind::notStarted;
        end.errors = process->errorString().toLocal8Bit();
    } else if (run.timedOut) {
        end.kind = ProgramEnd::Kind::timedOut;
    } else if (process->exitStatus() == QProcess::CrashExit) {
        end.kind = ProgramEnd::Kind::signalled;
        end.code = process->exitCode();
    } else {
        end.code = process->exitCode();
    }
    process->disconnect(this);
    process->deleteLater();
    if (run.finished) run.finished(end);
}

}  // namespace avrane::soak
