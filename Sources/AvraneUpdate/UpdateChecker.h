#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <variant>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "AvraneDefaults/UserDefaults.h"
#include "AvraneUpdate/ReleaseInfo.h"
#include "AvraneUpdate/UpdateCheckInterval.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace avrane {

// The release manifest this build checks (set with the CMake option AVRANE_MANIFEST_URL).
QUrl defaultManifestURL();

struct UpdateCheckerOptions {
    using TimePoint = std::chrono::system_clock::time_point;

    QUrl manifestURL = defaultManifestURL();
    // Used as given and not owned; by default the checker makes its own, keeping no cache,
    // cookies or credentials.
    QNetworkAccessManager* network = nullptr;
    UserDefaults defaults = UserDefaults::standard();
    // "Now", for the last-check time, `upToDate` and the schedule.
    std::function<TimePoint()> clock = [] { return std::chrono::system_clock::now(); };
    // A transfer that makes no progress for this long fails; the manifest request gets longer.
    std::chrono::milliseconds manifestIdleTimeout{60'000};
    std::chrono::milliseconds transferIdleTimeout{15'000};
    // Limit on a whole transfer, however it progresses.
    std::chrono::milliseconds totalTimeout{300'000};
};

// Fetches the release manifest, downloads a newer release's package into the user's cache
// folder and verifies its SHA-256, reporting each step as a State. Lives on the main
// thread: `check` and `download` are called there and `onChange` runs there, once per real
// change of state, in order.
class UpdateChecker : public QObject {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    using Options = UpdateCheckerOptions;

    struct Idle {
        bool operator==(const Idle&) const = default;
    };
    struct Checking {
        bool operator==(const Checking&) const = default;
    };
    struct UpToDate {
        TimePoint checkedAt;
        bool operator==(const UpToDate&) const = default;
    };
    struct Available {
        ReleaseInfo release;
        bool operator==(const Available&) const = default;
    };
    struct Downloading {
        bool operator==(const Downloading&) const = default;
    };
    struct ReadyToInstall {
        QUrl file;
        bool operator==(const ReadyToInstall&) const = default;
    };
    struct Failed {
        QString message;
        bool operator==(const Failed&) const = default;
    };
    using State = std::variant<Idle, Checking, UpToDate, Available, Downloading, ReadyToInstall, Failed>;

    static inline const QString manifestUnreadableMessage =
        QStringLiteral("The release manifest could not be read.");
    static inline const QString downloadIncompleteMessage =
        QStringLiteral("The download did not complete.");
    static inline const QString checksumMismatchMessage =
        QStringLiteral("The downloaded package did not match its checksum.");
    static inline const QString timedOutMessage = QStringLiteral("The request timed out.");
    static inline const QString noDownloadFolderMessage =
        QStringLiteral("There is no folder to download the package into.");

    static inline const QString intervalKey = QStringLiteral("update.checkInterval");
    static inline const QString lastCheckKey = QStringLiteral("update.lastCheck");

    explicit UpdateChecker(Options options = {}, QObject* parent = nullptr);
    ~UpdateChecker() override;

    const State& state() const { return state_; }
    void setOnChange(std::function<void(const State&)> onChange) { onChange_ = std::move(onChange); }

    // Fetches the manifest unless a check or a download is running. A user-initiated check
    // ends in `failed` when something goes wrong; an automatic one falls back to `idle`.
    void check(bool userInitiated);
    // Downloads the release's package, whatever the current state.
    void download(const ReleaseInfo& release);
    // An automatic check when the interval has passed since the last completed one.
    void checkIfDue();
    // Whether `checkIfDue` would start a check now.
    bool isDue() const;
    // When a check is due over TLS, loads the TLS library on a thread of its own, so that the
    // check that follows does not stall the main thread while it loads (several milliseconds
    // of a launch).
    void prepareIfDue();

    // The stored interval; `daily` when none or an unknown one is stored.
    static UpdateCheckInterval interval(const UserDefaults& defaults = UserDefaults::standard());
    // False when it could not be saved; the stored interval then stays in force.
    static bool setInterval(UpdateCheckInterval interval,
                            const UserDefaults& defaults = UserDefaults::standard());

    static std::optional<ReleaseInfo> parse(QByteArrayView manifest) {
        return ReleaseInfo::decode(manifest);
    }

    // Where the package of `version` is put: avrane-linux-<version>.deb in the user's cache
    // folder ($XDG_CACHE_HOME/avrane, by default ~/.cache/avrane), not in the shared /tmp.
    // Nothing for a version that is unusable in a file name, or without a home folder.
    static std::optional<QString> packagePath(QStringView version);

    // Lower-case hex SHA-256 of a file's contents, or nothing (and the reason in `error`)
    // when it cannot be opened or read.
    static std::optional<QString> sha256(const QString& filePath, QString* error = nullptr);

private:
    struct Transfer;

    void setState(State next);
    QNetworkReply* startTransfer(const QUrl& url, std::chrono::milliseconds idleTimeout,
                                 bool ignoreLocalCache, const std::shared_ptr<Transfer>& transfer);
    void finishCheck(QNetworkReply* reply, const Transfer& transfer, bool userInitiated);
    State installPackage(QNetworkReply* reply, const Transfer& transfer, const ReleaseInfo& release);

    Options options_;
    QNetworkAccessManager* network_;  // nothing until the first transfer
    State state_ = Idle{};
    std::function<void(const State&)> onChange_;
    QList<QPointer<QNetworkReply>> replies_;
    std::jthread tlsLoader_;  // last: done before anything else goes
};

}  // namespace avrane
