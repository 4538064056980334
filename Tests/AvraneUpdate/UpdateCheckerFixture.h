#pragma once

#include <memory>
#include <vector>

#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QThread>

#include "AvraneUpdate/AppVersion.h"
#include "AvraneUpdate/UpdateChecker.h"
#include "QtSupport/QtTestSupport.h"
#include "TestHttpServer.h"
#include "UpdatePrinters.h"

namespace avrane::testing {

using State = UpdateChecker::State;
using TimePoint = UpdateChecker::TimePoint;

inline const QString manifestPath = QStringLiteral("/bar/latest.json");
inline const char* packageURL = "https://releases.example/avrane.deb";

inline QByteArray manifest(const QString& version, const char* package = packageURL) {
    return QStringLiteral(R"({"version":"%1","package_url":"%2"})").arg(version, QLatin1String(package)).toUtf8();
}

inline ReleaseInfo releaseOf(const QString& version, const char* package = packageURL) {
    return ReleaseInfo{version, QUrl(QLatin1String(package)), std::nullopt, std::nullopt};
}

inline bool isBusy(const State& state) {
    return std::holds_alternative<UpdateChecker::Checking>(state) ||
           std::holds_alternative<UpdateChecker::Downloading>(state);
}

// A checker talking to the scripted server, with its own settings file, a clock the test
// steps, and every notification recorded.
class UpdateCheckerTest : public ::testing::Test {
protected:
    UpdateCheckerTest() { makeChecker(options()); }

    UpdateChecker::Options options() {
        UpdateChecker::Options o;
        o.manifestURL = server.url(manifestPath);
        o.defaults = defaults;
        o.clock = [this] { return now; };
        return o;
    }

    void makeChecker(UpdateChecker::Options o) {
        checker = std::make_unique<UpdateChecker>(std::move(o));
        checker->setOnChange([this](const State& state) {
            changes.push_back(state);
            if (QThread::currentThread() != QCoreApplication::instance()->thread()) offMainThread = true;
        });
    }

    // `now` as the settings file keeps it.
    TimePoint storedNow() const {
        return std::chrono::time_point_cast<std::chrono::milliseconds>(now);
    }

    // Until no transfer runs and every change has been delivered.
    bool settle() {
        return waitUntil([this] {
            return !isBusy(checker->state()) && !changes.empty() && changes.back() == checker->state();
        });
    }

    TestHttpServer server;
    UserDefaults defaults{freshFilePath()};
    // Not a whole second, so that boundaries are checked at full precision.
    TimePoint now{std::chrono::nanoseconds(1'700'000'000'123'456'789)};
    std::vector<State> changes;
    bool offMainThread = false;
    std::unique_ptr<UpdateChecker> checker;
};

}  // namespace avrane::testing
