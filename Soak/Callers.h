#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QDBusConnection>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "Soak/ProgramRuns.h"
#include "Soak/WriteLedger.h"

namespace avrane::soak {

// What the callers share: the programs they run, the account of writes, and where a caller
// reports a fault it met (a tool that crashed, hung, refused its command line or printed
// something malformed).
struct CallerContext {
    ProgramRuns& runs;
    QString avranectl;
    std::mt19937& random;
    WriteLedger& ledger;
    std::function<void(const QString&)> problem;
    // How long any one command may take before it counts as hung.
    std::chrono::milliseconds limit{30'000};
};

// The values `avranectl set` takes for a setting, in the words `get` prints.
std::vector<std::string> valuesOf(std::string_view setting);

// Makes one `avranectl set` after the other on the settings it owns, with valid random
// values, pausing a little between them, and enters each in the ledger.
class SetCaller {
public:
    SetCaller(CallerContext& context, int id, std::vector<std::string> settings);
    void start() { next(); }
    // No new call after this; one in progress runs to its end.
    void stop() { stopping_ = true; }
    bool busy() const { return busy_; }
    int calls() const { return calls_; }

private:
    void next();
    void finished(SetCall call, const ProgramEnd& end);

    CallerContext& context_;
    int id_;
    std::map<std::string, std::vector<std::string>> values_;
    bool stopping_ = false, busy_ = false;
    int calls_ = 0;
};

// Reads through the application now and then: `get` of any setting, `status`, `--json status`.
class ReadCaller {
public:
    explicit ReadCaller(CallerContext& context) : context_(context) {}
    void start() { next(); }
    void stop() { stopping_ = true; }
    bool busy() const { return busy_; }
    // By command: how many ended with status 0, and with 1 (the headset could not be read).
    std::map<std::string, std::pair<int, int>> outcomes() const { return outcomes_; }

private:
    void next();

    CallerContext& context_;
    bool stopping_ = false, busy_ = false;
    std::map<std::string, std::pair<int, int>> outcomes_;
};

// A command that runs until it is stopped and prints one JSON object a line (`watch --json`,
// `status --waybar --follow`); every line must be one.
class Follower {
public:
    Follower(CallerContext& context, QString name, QStringList arguments);
    void start();
    // Stops it as Ctrl-C would and checks that it ends as documented (status 130 or 143).
    void stop();
    bool running() const { return process_ != nullptr; }
    const QString& name() const { return name_; }
    int lines() const { return lines_; }
    const std::optional<QJsonObject>& last() const { return last_; }

private:
    void read();

    CallerContext& context_;
    QString name_;
    QStringList arguments_;
    QProcess* process_ = nullptr;
    QByteArray pending_;
    bool stopping_ = false;
    int lines_ = 0;
    std::optional<QJsonObject> last_;
};

// Calls Refresh on the service every few seconds, as a script might.
class Refresher : public QObject {
    Q_OBJECT

public:
    Refresher(CallerContext& context, QDBusConnection bus);
    void start() { next(); }
    void stop() { stopping_ = true; }
    int answered() const { return answered_; }
    int refused() const { return refused_; }

private:
    void next();

    CallerContext& context_;
    QDBusConnection bus_;
    bool stopping_ = false;
    int answered_ = 0, refused_ = 0;
};

}  // namespace avrane::soak
