#pragma once

// A program a test starts and reads line by line: the desktop parts (X server, tray, compositor,
// bus) and the application under test. Needs no package beyond Qt.

#include <chrono>
#include <functional>
#include <optional>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace avrane::testing {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();  // stops it

    // Starts `program` (found on PATH unless a path), stopping and forgetting an earlier run;
    // `package` is the Debian package that provides it, named in the failure message. The
    // program also ends if the test process dies.
    bool start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
               const QString& package = {});
    // Succeeds while no step failed; otherwise says why, with the end of the program's stderr.
    ::testing::AssertionResult started() const;

    // The first complete line of stdout after the last one returned that contains `text`.
    // Blocks (without an event loop); nullopt, and a recorded failure, on deadline or exit.
    std::optional<QString> waitForLine(const QString& text, std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // Checks `condition` every 20 ms until it holds; false, and a recorded failure naming
    // `what`, on deadline or exit.
    bool waitFor(const std::function<bool()>& condition, const QString& what,
                 std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // The exit code once it has ended by itself (-1 for a crash), nullopt if still running at the deadline.
    std::optional<int> waitForExit(std::chrono::milliseconds deadline = std::chrono::seconds(10));

    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    qint64 processId() const { return process_.processId(); }
    // Everything it wrote so far.
    QString output();
    QString errorOutput();

    // SIGTERM, then SIGKILL if it is still there after a few seconds.
    void stop();
    // Records a failure of a later step (for example a readiness check).
    void fail(const QString& why);

private:
    void collect();

    QProcess process_;
    QString name_;
    QByteArray stdout_, stderr_;
    qsizetype consumed_ = 0;  // stdout before this offset was returned by waitForLine
    QString failure_;
};

}  // namespace avrane::testing
