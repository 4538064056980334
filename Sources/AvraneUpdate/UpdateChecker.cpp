#include "AvraneUpdate/UpdateChecker.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "AvraneUpdate/AppVersion.h"
#include "AvraneUpdate/BuildConfig.h"
#include "AvraneUpdate/HelperProcess.h"

namespace avrane {

QUrl defaultManifestURL() {
    return QUrl(QStringLiteral(AVRANE_MANIFEST_URL));
}

QString UpdateChecker::tooLargeMessage(qint64 maximumSize) {
    return QStringLiteral("The package is larger than %1 MiB.").arg(maximumSize / (1024 * 1024));
}

UpdateChecker::UpdateChecker(Options options, QObject* parent) : QObject(parent), options_(std::move(options)) {}

UpdateChecker::~UpdateChecker() = default;

void UpdateChecker::setState(State next) {
    if (next == state_) return;
    state_ = next;
    // Queued even on the main thread, so observers never run inside check() or download().
    auto delivered = std::make_shared<const State>(std::move(next));
    QMetaObject::invokeMethod(
        this, [this, delivered] {
            if (onChange_) onChange_(*delivered);
        },
        Qt::QueuedConnection);
}

QString UpdateChecker::defaultHelperPath() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' + QLatin1String(AVRANE_UPDATE_HELPER_FROM_BIN));
}

std::optional<qint64> UpdateChecker::helperProcessId() const {
    return helper_ ? helper_->processId() : std::nullopt;
}

void UpdateChecker::runHelper(helper::Request request, std::function<void(const helper::Report&)> done) {
    helper_.reset();  // never two at once
    const QString program = options_.helperPath.isEmpty() ? defaultHelperPath() : options_.helperPath;
    if (!options_.caCertificates.isEmpty()) request.caCertificates = options_.caCertificates;
    helper_ = std::make_unique<HelperProcess>(program, request, request.totalTimeout + options_.helperGrace,
                                              [this, done = std::move(done)](const helper::Report& report) {
                                                  // The run calls this as its last act; it goes once that is over.
                                                  helper_.release()->deleteLater();
                                                  done(report);
                                              });
}

void UpdateChecker::check(bool userInitiated) {
    if (std::holds_alternative<Checking>(state_) || std::holds_alternative<Downloading>(state_)) return;
    setState(Checking{});
    helper::Request request{helper::CheckJob{options_.manifestURL}};
    request.idleTimeout = options_.manifestIdleTimeout;
    request.totalTimeout = options_.totalTimeout;
    runHelper(request, [this, userInitiated](const helper::Report& report) { finishCheck(report, userInitiated); });
}

void UpdateChecker::finishCheck(const helper::Report& report, bool userInitiated) {
    // Recorded whatever the outcome, so a failing automatic check waits a whole interval.
    const TimePoint now = options_.clock();
    options_.defaults.setDate(lastCheckKey, now);

    const auto* read = std::get_if<helper::ManifestRead>(&report);
    if (!read) {
        const auto* failure = std::get_if<helper::Failure>(&report);
        const QString message = failure ? failure->message : HelperProcess::nonsenseMessage;
        return setState(userInitiated ? State{Failed{message}} : State{Idle{}});
    }
    if (AppVersion::isNewer(read->release.version, AppVersion::current())) {
        setState(Available{read->release});
    } else {
        setState(UpToDate{now});
    }
}

void UpdateChecker::download(const ReleaseInfo& release) {
    helper_.reset();
    downloading_ = release;
    setState(Downloading{});
    const auto destination = packagePath(release.version);
    if (!destination) {
        downloading_.reset();
        return setState(Failed{downloadFolder().isEmpty() ? noDownloadFolderMessage : manifestUnreadableMessage});
    }
    helper::Request request{helper::DownloadJob{release.packageURL, *destination, release.sha256}};
    request.idleTimeout = options_.transferIdleTimeout;
    request.totalTimeout = options_.totalTimeout;
    request.maximumSize = options_.maximumPackageSize;
    runHelper(request, [this, destination = *destination](const helper::Report& report) {
        downloading_.reset();
        setState(finishDownload(report, destination));
    });
}

UpdateChecker::State UpdateChecker::finishDownload(const helper::Report& report, const QString& destination) {
    if (const auto* failure = std::get_if<helper::Failure>(&report)) return Failed{failure->message};
    const auto* ready = std::get_if<helper::PackageReady>(&report);
    // The helper was told where to put the package; a file anywhere else is not opened.
    if (!ready || ready->file != destination) return Failed{HelperProcess::nonsenseMessage};
    return ReadyToInstall{QUrl::fromLocalFile(destination)};
}

void UpdateChecker::cancel() {
    if (!helper_) return;
    helper_.reset();
    if (downloading_) {
        setState(Available{*std::exchange(downloading_, std::nullopt)});
    } else {
        setState(Idle{});
    }
}

void UpdateChecker::checkIfDue() {
    if (isDue()) check(false);
}

bool UpdateChecker::isDue() const {
    const auto length = seconds(interval(options_.defaults));
    if (!length) return false;
    const auto last = options_.defaults.date(lastCheckKey);
    if (!last) return true;
    // In milliseconds, the stored precision: exact at the boundary, and no stored date can
    // make the subtraction overflow.
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const auto elapsed = duration_cast<milliseconds>(options_.clock().time_since_epoch()) -
                         duration_cast<milliseconds>(last->time_since_epoch());
    return static_cast<double>(elapsed.count()) >= *length * 1000;
}

UpdateCheckInterval UpdateChecker::interval(const UserDefaults& defaults) {
    const auto stored = defaults.text(intervalKey);
    if (!stored) return UpdateCheckInterval::daily;
    return updateCheckIntervalFromRaw(*stored).value_or(UpdateCheckInterval::daily);
}

bool UpdateChecker::setInterval(UpdateCheckInterval interval, const UserDefaults& defaults) {
    return defaults.setText(intervalKey, rawValue(interval));
}

// The user's own cache ($XDG_CACHE_HOME/avrane, by default ~/.cache/avrane). In the shared
// /tmp another local user could take the predictable name first and block every download of
// that version.
QString UpdateChecker::downloadFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : QDir(cache).filePath(QStringLiteral("avrane"));
}

std::optional<QString> UpdateChecker::packagePath(QStringView version) {
    const QString folder = downloadFolder();
    if (folder.isEmpty() || !ReleaseInfo::isUsableVersion(version)) return std::nullopt;
    return QDir(folder).filePath(QStringLiteral("%1%2%3").arg(QLatin1String(packagePrefix), version, QLatin1String(packageSuffix)));
}

}  // namespace avrane
