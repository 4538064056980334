#include "AvraneUpdate/UpdateChecker.h"

#include <memory>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include "AvraneUpdate/AppVersion.h"
#include "AvraneUpdate/BuildConfig.h"

namespace avrane {

namespace {

// Keeps no cookies at all: nothing the release server says survives the request.
class NoCookieJar : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

QNetworkAccessManager* makeEphemeralNetwork(QObject* parent) {
    auto* network = new QNetworkAccessManager(parent);
    network->setCache(nullptr);
    network->setCookieJar(new NoCookieJar(network));
    network->setStrictTransportSecurityEnabled(false);
    return network;
}

// The folder of downloaded packages: the user's own cache ($XDG_CACHE_HOME/avrane, by default
// ~/.cache/avrane). In the shared /tmp another local user could take the predictable name
// first and block every download of that version. Empty when there is no home to put it in.
QString downloadFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : QDir(cache).filePath(QStringLiteral("avrane"));
}

int httpStatus(const QNetworkReply* reply) {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() ? status.toInt() : 0;
}

// QNetworkReply reports an HTTP answer such as 404 as an error too. These are the codes it
// derives from a status line; they mean the server answered, which is not a transfer failure.
bool isStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

constexpr qint64 hashChunkSize = 1024 * 1024;

}  // namespace

QUrl defaultManifestURL() {
    return QUrl(QStringLiteral(AVRANE_MANIFEST_URL));
}

// What is known about one transfer besides its reply.
struct UpdateChecker::Transfer {
    bool timedOut = false;
    bool tooLarge = false;
    std::optional<QString> writeError;
    // Downloads only: the package as it arrives, removed unless it is moved into place.
    std::unique_ptr<QTemporaryFile> file;

    // The failure of the transfer itself (connection, TLS, time-out), as opposed to an
    // answer from the server; nothing when an answer arrived.
    std::optional<QString> failure(const QNetworkReply* reply) const {
        if (timedOut) return timedOutMessage;
        const auto error = reply->error();
        if (error == QNetworkReply::NoError) return std::nullopt;
        if (isStatusError(error) && httpStatus(reply) != 0) return std::nullopt;
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
            // Only the idle time-out cancels a transfer that this class did not abort itself.
            return timedOutMessage;
        }
        return reply->errorString();
    }
};

UpdateChecker::UpdateChecker(Options options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      network_(options_.network) {}

UpdateChecker::~UpdateChecker() {
    for (const QPointer<QNetworkReply>& reply : replies_) {
        if (!reply) continue;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

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

QNetworkReply* UpdateChecker::startTransfer(const QUrl& url, std::chrono::milliseconds idleTimeout,
                                            bool ignoreLocalCache,
                                            const std::shared_ptr<Transfer>& transfer) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(idleTimeout.count()));
    // On the request, so that it holds whoever made the network access manager: an https
    // manifest or package is never fetched from a plain http address it redirects to.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (ignoreLocalCache) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }
    // Made at the first transfer: a tray program that never checks never loads the network
    // and TLS machinery.
    if (!network_) network_ = makeEphemeralNetwork(this);
    QNetworkReply* reply = network_->get(request);
    replies_.append(reply);

    auto* limit = new QTimer(reply);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, [reply, transfer] {
        transfer->timedOut = true;
        reply->abort();
    });
    limit->start(options_.totalTimeout);
    return reply;
}

void UpdateChecker::check(bool userInitiated) {
    if (std::holds_alternative<Checking>(state_) || std::holds_alternative<Downloading>(state_)) return;
    setState(Checking{});

    auto transfer = std::make_shared<Transfer>();
    QNetworkReply* reply = startTransfer(options_.manifestURL, options_.manifestIdleTimeout, true, transfer);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, transfer](qint64 received, qint64 total) {
        if (received > ReleaseInfo::maximumManifestSize || total > ReleaseInfo::maximumManifestSize) {
            transfer->tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, transfer, userInitiated] {
        finishCheck(reply, *transfer, userInitiated);
    });
}

void UpdateChecker::finishCheck(QNetworkReply* reply, const Transfer& transfer, bool userInitiated) {
    replies_.removeAll(reply);
    reply->deleteLater();

    // Recorded whatever the outcome, so a failing automatic check waits a whole interval.
    const TimePoint now = options_.clock();
    options_.defaults.setDate(lastCheckKey, now);

    const auto fail = [&](const QString& message) {
        setState(userInitiated ? State{Failed{message}} : State{Idle{}});
    };
    if (transfer.tooLarge) return fail(manifestUnreadableMessage);
    if (const auto failure = transfer.failure(reply)) return fail(*failure);
    if (httpStatus(reply) != 200) return fail(manifestUnreadableMessage);
    const auto release = parse(reply->readAll());
    if (!release) return fail(manifestUnreadableMessage);

    if (AppVersion::isNewer(release->version, AppVersion::current())) {
        setState(Available{*release});
    } else {
        setState(UpToDate{now});
    }
}

void UpdateChecker::download(const ReleaseInfo& release) {
    setState(Downloading{});
    if (!packagePath(release.version)) return setState(Failed{manifestUnreadableMessage});

    // Beside the package's place, so that moving it there is a rename.
    const QString folder = downloadFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder)) return setState(Failed{noDownloadFolderMessage});
    auto transfer = std::make_shared<Transfer>();
    transfer->file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral("avrane-download-XXXXXX")));
    if (!transfer->file->open()) return setState(Failed{transfer->file->errorString()});

    QNetworkReply* reply = startTransfer(release.packageURL, options_.transferIdleTimeout, false, transfer);
    // Written as it arrives, so a large package never sits in memory.
    connect(reply, &QNetworkReply::readyRead, this, [reply, transfer] {
        if (transfer->writeError) return;
        const QByteArray chunk = reply->readAll();
        if (transfer->file->write(chunk) != chunk.size()) {
            transfer->writeError = transfer->file->errorString();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, transfer, release] {
        replies_.removeAll(reply);
        reply->deleteLater();
        setState(installPackage(reply, *transfer, release));
    });
}

UpdateChecker::State UpdateChecker::installPackage(QNetworkReply* reply, const Transfer& transfer,
                                                   const ReleaseInfo& release) {
    if (transfer.writeError) return Failed{*transfer.writeError};
    if (const auto failure = transfer.failure(reply)) return Failed{*failure};
    if (httpStatus(reply) != 200) return Failed{downloadIncompleteMessage};

    QTemporaryFile& file = *transfer.file;
    const QByteArray rest = reply->readAll();
    if (file.write(rest) != rest.size() || !file.flush()) return Failed{file.errorString()};
    // A connection closed early can still end without an error; a package shorter than the
    // server announced is no package. (Qt hides the length of a body it decompresses.)
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() != file.size()) {
        return Failed{downloadIncompleteMessage};
    }
    file.close();

    const auto destination = packagePath(release.version);
    if (!destination) return Failed{manifestUnreadableMessage};
    QFile::remove(*destination);
    if (!file.rename(*destination)) return Failed{file.errorString()};
    file.setAutoRemove(false);

    if (release.sha256) {
        QString error;
        const auto digest = sha256(*destination, &error);
        if (!digest) return Failed{error};
        if (release.sha256->compare(*digest, Qt::CaseInsensitive) != 0) {
            QFile::remove(*destination);
            return Failed{checksumMismatchMessage};
        }
    }
    return ReadyToInstall{QUrl::fromLocalFile(*destination)};
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

void UpdateChecker::prepareIfDue() {
    if (tlsLoader_.joinable() || options_.manifestURL.scheme() != QLatin1String("https") || !isDue()) return;
    tlsLoader_ = std::jthread([] { QSslSocket::supportsSsl(); });
}

UpdateCheckInterval UpdateChecker::interval(const UserDefaults& defaults) {
    const auto stored = defaults.text(intervalKey);
    if (!stored) return UpdateCheckInterval::daily;
    return updateCheckIntervalFromRaw(*stored).value_or(UpdateCheckInterval::daily);
}

bool UpdateChecker::setInterval(UpdateCheckInterval interval, const UserDefaults& defaults) {
    return defaults.setText(intervalKey, rawValue(interval));
}

std::optional<QString> UpdateChecker::packagePath(QStringView version) {
    const QString folder = downloadFolder();
    if (folder.isEmpty() || !ReleaseInfo::isUsableVersion(version)) return std::nullopt;
#ifdef __APPLE__
    const QString name = QStringLiteral("avrane-mac-%1.pkg").arg(version);
#else
    const QString name = QStringLiteral("avrane-linux-%1.deb").arg(version);
#endif
    return QDir(folder).filePath(name);
}

std::optional<QString> UpdateChecker::sha256(const QString& filePath, QString* error) {
    QFile file(filePath);
    const auto fail = [&]() -> std::optional<QString> {
        if (error) *error = file.errorString();
        return std::nullopt;
    };
    if (!file.open(QIODevice::ReadOnly)) return fail();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (true) {
        const QByteArray chunk = file.read(hashChunkSize);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) return fail();
            break;
        }
        hash.addData(chunk);
    }
    return QString::fromLatin1(hash.result().toHex());
}

}  // namespace avrane
