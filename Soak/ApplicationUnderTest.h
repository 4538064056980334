#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include "Soak/WarningTally.h"

namespace avrane::soak {

// avrane-bar as the soak runs it: its output kept in a file, its standard error sorted line by
// line as it comes, and how it ended.
class ApplicationUnderTest {
public:
    explicit ApplicationUnderTest(const QString& logPath) : log_(logPath) {}
    // Killed if it still runs: a run cut short.
    ~ApplicationUnderTest();

    ApplicationUnderTest(const ApplicationUnderTest&) = delete;
    ApplicationUnderTest& operator=(const ApplicationUnderTest&) = delete;

    // Why it could not be started, if it could not.
    std::optional<std::string> start(const QProcessEnvironment& environment);
    pid_t pid() const { return pid_t(process_.processId()); }
    // Ended by itself: a crash, or an exit nobody asked for.
    bool endedByItself() const { return ended_; }
    QString ending() const;
    // SIGTERM, as the session's end sends it; what went wrong, if anything.
    QString stop();

    const WarningTally& tally() const { return tally_; }
    // Its last lines on standard error, for a run that failed.
    const std::vector<std::string>& lastLines() const { return last_; }

private:
    void read();

    QFile log_;
    QProcess process_;
    QByteArray pending_;
    WarningTally tally_;
    std::vector<std::string> last_;
    bool stopping_ = false, ended_ = false;
};

}  // namespace avrane::soak
