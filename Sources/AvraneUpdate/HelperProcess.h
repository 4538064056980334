#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include "AvraneUpdate/HelperReport.h"
#include "AvraneUpdate/HelperRequest.h"

namespace avrane {

// One run of the update helper: the program started for one request, its standard output
// read as the report it must be, and the process ended with this object. The helper's
// output is outside bytes: one report line of bounded length, then nothing, is all that is
// taken; anything else ends the run as a failure.
class HelperProcess : public QObject {
public:
    static inline const QString nonsenseMessage =
        QStringLiteral("The update helper answered something that could not be read.");
    static inline const QString hungMessage = QStringLiteral("The update helper did not finish in time.");
    static inline const QString noAnswerMessage = QStringLiteral("The update helper stopped without an answer.");
    // With the program's path and the system's reason.
    static QString notStartedMessage(const QString& program, const QString& reason);

    // Starts `program` for `request`. `done` is called once, later, on this thread: with the
    // helper's report, or with a Failure saying what went wrong with the helper itself (it
    // could not start, crashed, ended without a report, wrote nonsense, or was still running
    // `deadline` after the start). Not called once this object is gone.
    HelperProcess(const QString& program, const helper::Request& request, std::chrono::milliseconds deadline,
                  std::function<void(const helper::Report&)> done);
    // Ends a helper that still runs (SIGTERM, then SIGKILL if it lingers) and waits for it.
    ~HelperProcess() override;

    // The helper's process id while it runs.
    std::optional<qint64> processId() const;

private:
    void read();
    void finished(int exitCode, QProcess::ExitStatus status);
    // Kills the helper; once it has ended, the run fails with `message`.
    void abandon(const QString& message);
    void conclude(const helper::Report& report);

    QProcess process_;
    QTimer deadline_;
    std::function<void(const helper::Report&)> done_;
    QByteArray output_;
    std::optional<helper::Report> report_;
    std::optional<QString> failure_;  // set when the helper was abandoned
    bool concluded_ = false;
};

}  // namespace avrane
