#include "AvraneUpdate/HelperProcess.h"

#include <csignal>

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace avrane {

QString HelperProcess::notStartedMessage(const QString& program, const QString& reason) {
    return QStringLiteral("The update helper %1 could not be started: %2").arg(program, reason);
}

HelperProcess::HelperProcess(const QString& program, const helper::Request& request, std::chrono::milliseconds deadline,
                             std::function<void(const helper::Report&)> done)
    : done_(std::move(done)) {
    process_.setProgram(program);
    process_.setArguments(request.arguments());
    process_.setStandardInputFile(QProcess::nullDevice());
    // Its own complaints (a usage error, Qt's warnings) go where this program's go.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef __linux__
    // The helper ends with this program however this program ends, killed included; and one
    // whose parent is gone before it could ask for that does not start at all.
    process_.setChildProcessModifier([parent = ::getpid()] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);
    });
#endif
    connect(&process_, &QProcess::readyReadStandardOutput, this, &HelperProcess::read);
    connect(&process_, &QProcess::finished, this, &HelperProcess::finished);
    connect(&process_, &QProcess::errorOccurred, this, [this, program](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) conclude(helper::Failure{notStartedMessage(program, process_.errorString())});
    });
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { abandon(hungMessage); });
    deadline_.start(deadline);
    process_.start();
}

HelperProcess::~HelperProcess() {
    process_.disconnect(this);
    if (process_.state() == QProcess::NotRunning) return;
    // The helper puts a partial download away on SIGTERM; SIGKILL is for one that hangs.
    process_.terminate();
    if (!process_.waitForFinished(1000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

std::optional<qint64> HelperProcess::processId() const {
    if (process_.state() == QProcess::NotRunning) return std::nullopt;
    return process_.processId();
}

void HelperProcess::read() {
    output_ += process_.readAllStandardOutput();
    if (failure_) return output_.clear();
    if (output_.isEmpty()) return;
    if (report_) return abandon(nonsenseMessage);  // anything after the report
    const qsizetype newline = output_.indexOf('\n');
    if (newline < 0) {
        if (output_.size() >= helper::maximumReportLength) abandon(nonsenseMessage);
        return;
    }
    const auto report = helper::decode(QByteArrayView(output_).first(newline));
    if (!report || newline + 1 != output_.size()) return abandon(nonsenseMessage);
    report_ = report;
    output_.clear();
}

void HelperProcess::finished(int exitCode, QProcess::ExitStatus status) {
    read();  // what is left in the pipe
    if (failure_) return conclude(helper::Failure{*failure_});
    if (status != QProcess::NormalExit || exitCode != 0) return conclude(helper::Failure{noAnswerMessage});
    if (!report_) return conclude(helper::Failure{output_.isEmpty() ? noAnswerMessage : nonsenseMessage});
    conclude(*report_);
}

void HelperProcess::abandon(const QString& message) {
    if (failure_ || concluded_) return;
    failure_ = message;
    process_.kill();  // `finished` concludes once it has ended: never two helpers at once
}

void HelperProcess::conclude(const helper::Report& report) {
    if (concluded_) return;
    concluded_ = true;
    deadline_.stop();
    // Later, never from inside the constructor or a signal of the process.
    QMetaObject::invokeMethod(this, [this, report] { done_(report); }, Qt::QueuedConnection);
}

}  // namespace avrane
