#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include <QObject>
#include <QString>
#include <QUrl>

#include "AvraneDefaults/UserDefaults.h"
#include "AvraneUpdate/HelperReport.h"
#include "AvraneUpdate/HelperRequest.h"
#include "AvraneUpdate/ReleaseInfo.h"
#include "AvraneUpdate/UpdateCheckInterval.h"

namespace avrane {

class HelperProcess;

// The release manifest this build checks (set with the CMake option AVRANE_MANIFEST_URL).
QUrl defaultManifestURL();

struct UpdateCheckerOptions {
    using TimePoint = std::chrono::system_clock::time_point;

    QUrl manifestURL = defaultManifestURL();
    // The update helper program; empty: the one installed with this program
    // (UpdateChecker::defaultHelperPath).
    QString helperPath;
    UserDefaults defaults = UserDefaults::standard();
    // "Now", for the last-check time, `upToDate` and the schedule.
    std::function<TimePoint()> clock = [] { return std::chrono::system_clock::now(); };
    // A transfer that makes no progress for this long fails; the manifest request gets longer.
    std::chrono::milliseconds manifestIdleTimeout = helper::Request::manifestIdleTimeout;
    std::chrono::milliseconds transferIdleTimeout = helper::Request::transferIdleTimeout;
    // Limit on a whole transfer, however it progresses.
    std::chrono::milliseconds totalTimeout = helper::Request::defaultTotalTimeout;
    // A larger package is refused, announced or not.
    qint64 maximumPackageSize = helper::Request::defaultMaximumPackageSize;
    // How long past `totalTimeout` a helper may go on before it counts as hung and is killed.
    std::chrono::milliseconds helperGrace{10'000};
    // A file of PEM certificates the helper trusts in place of the system's; empty: the
    // system's.
    QString caCertificates;
};

// Fetches the release manifest, downloads a newer release's package into the user's cache
// folder and establishes its integrity, reporting each step as a State. The transfers run in
// the update helper, a short-lived child process, so that this program never loads the
// network and TLS libraries nor parses what the network sends; at most one helper runs at a
// time, and it ends with this object. Lives on the main thread: `check` and `download` are
// called there and `onChange` runs there, once per real change of state, in order.
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
    // Without a checksum in the manifest, only the length the server announced can vouch for
    // the package.
    static inline const QString unverifiableMessage =
        QStringLiteral("The download could not be verified: the release has no checksum and the server gave no length.");
    static QString tooLargeMessage(qint64 maximumSize);

    static inline const QString intervalKey = QStringLiteral("update.checkInterval");
    static inline const QString lastCheckKey = QStringLiteral("update.lastCheck");

    explicit UpdateChecker(Options options = {}, QObject* parent = nullptr);
    ~UpdateChecker() override;

    const State& state() const { return state_; }
    void setOnChange(std::function<void(const State&)> onChange) { onChange_ = std::move(onChange); }

    // Fetches the manifest unless a check or a download is running. A user-initiated check
    // ends in `failed` when something goes wrong; an automatic one falls back to `idle`.
    void check(bool userInitiated);
    // Downloads the release's package, whatever the current state; a check or download still
    // running is cancelled first.
    void download(const ReleaseInfo& release);
    // Ends a running check (back to `idle`, the last-check time untouched) or download (back
    // to `available` with its release); nothing otherwise.
    void cancel();
    // An automatic check when the interval has passed since the last completed one.
    void checkIfDue();
    // Whether `checkIfDue` would start a check now.
    bool isDue() const;

    // The running helper's process id, if one runs.
    std::optional<qint64> helperProcessId() const;
    // The helper installed with this program: libexec/avranebar/avrane-update-helper beside
    // the bin folder this program is in (the build tree keeps the same layout).
    static QString defaultHelperPath();

    // The stored interval; `daily` when none or an unknown one is stored.
    static UpdateCheckInterval interval(const UserDefaults& defaults = UserDefaults::standard());
    // False when it could not be saved; the stored interval then stays in force.
    static bool setInterval(UpdateCheckInterval interval,
                            const UserDefaults& defaults = UserDefaults::standard());

    static std::optional<ReleaseInfo> parse(QByteArrayView manifest) {
        return ReleaseInfo::decode(manifest);
    }

    // Downloaded packages are named <prefix><version><suffix>; the helper removes the older
    // ones once a new one is in place.
#ifdef __APPLE__
    static constexpr char packagePrefix[] = "avrane-mac-", packageSuffix[] = ".pkg";
#else
    static constexpr char packagePrefix[] = "avrane-linux-", packageSuffix[] = ".deb";
#endif

    // Where the package of `version` is put: avrane-linux-<version>.deb in the user's cache
    // folder ($XDG_CACHE_HOME/avrane, by default ~/.cache/avrane), not in the shared /tmp.
    // Nothing for a version that is unusable in a file name, or without a home folder.
    static std::optional<QString> packagePath(QStringView version);

    // The folder of downloaded packages, empty without a home folder.
    static QString downloadFolder();

private:
    void setState(State next);
    void runHelper(helper::Request request, std::function<void(const helper::Report&)> done);
    void finishCheck(const helper::Report& report, bool userInitiated);
    State finishDownload(const helper::Report& report, const QString& destination);

    Options options_;
    State state_ = Idle{};
    std::function<void(const State&)> onChange_;
    std::unique_ptr<HelperProcess> helper_;  // the one running, if any
    std::optional<ReleaseInfo> downloading_;  // the release of a running download
};

}  // namespace avrane
