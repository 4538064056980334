#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace avrane::soak {

// How a program run ended.
struct ProgramEnd {
    enum class Kind { exited, signalled, timedOut, notStarted };

    Kind kind = Kind::exited;
    int code = 0;  // the exit status, or the signal
    QByteArray output, errors;

    bool exitedWith(int status) const { return kind == Kind::exited && code == status; }
    QString description() const;  // "exit 1", "killed by signal 11", "no end within 30 s"
};

// The short-lived programs of the run (avranectl, xdotool), started without waiting for
// them: each hears how it ended. Every one is started in a process group of its own, so that
// a Ctrl-C on the terminal reaches the soak alone and it stops them in order, and ends with
// the soak if the soak is killed. One that outlives its time limit is killed.
class ProgramRuns : public QObject {
    Q_OBJECT

public:
    using Finished = std::function<void(const ProgramEnd&)>;

    explicit ProgramRuns(QProcessEnvironment environment, QObject* parent = nullptr);
    ~ProgramRuns() override;

    // `limit` zero: no limit (a program that runs until it is stopped).
    QProcess* start(const QString& program, const QStringList& arguments, std::chrono::milliseconds limit,
                    Finished finished);
    // SIGTERM to one, then SIGKILL if it is still there after `grace`; its end is reported
    // as usual.
    void stop(QProcess* process, std::chrono::milliseconds grace = std::chrono::seconds(5));
    int running() const { return int(runs_.size()); }
    // Waits for all to end, stopping those still there at the deadline.
    void finishAll(std::chrono::milliseconds deadline);

private:
    struct Run {
        Finished finished;
        bool timedOut = false;
    };

    void ended(QProcess* process);

    QProcessEnvironment environment_;
    std::map<QProcess*, Run> runs_;
};

// Arranged in every child before it runs the program: a process group of its own, and an end
// with its parent.
void detachFromTerminal();

}  // namespace avrane::soak
