#include "Fetch.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "AvraneUpdate/UpdateChecker.h"

namespace avrane::helper {

namespace {

// Keeps no cookies at all: nothing the release server says survives the request.
class NoCookieJar : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

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

QNetworkRequest requestFor(const QUrl& url, std::chrono::milliseconds idleTimeout) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(idleTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The body as the server keeps it: Qt would unpack a compressed one and hide its length.
    request.setRawHeader("Accept-Encoding", "identity");
    return request;
}

}  // namespace

Fetched fetch(const QUrl& url, std::chrono::milliseconds idleTimeout, std::chrono::milliseconds totalTimeout,
              const BodyReceiver& receiver) {
    QNetworkAccessManager network;
    network.setCache(nullptr);
    network.setCookieJar(new NoCookieJar(&network));
    network.setStrictTransportSecurityEnabled(false);
    QNetworkReply* reply = network.get(requestFor(url, idleTimeout));

    Fetched fetched;
    std::optional<QString> stopped;  // why this side ended the transfer
    bool begun = false;
    const auto stop = [&](const QString& why) {
        if (stopped) return;
        stopped = why;
        reply->abort();
    };
    const auto take = [&](const QByteArray& part) {
        // Another answer's body (a redirect's, an error page) says nothing.
        if (stopped || httpStatus(reply) != 200) return;
        if (!begun) {
            begun = true;
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() >= 0) fetched.announcedLength = length.toLongLong();
            if (const auto why = receiver.begin(fetched.announcedLength)) return stop(*why);
        }
        if (part.isEmpty()) return;
        if (const auto why = receiver.take(part)) stop(*why);
    };

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] { take(reply->readAll()); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] { stop(UpdateChecker::timedOutMessage); });
    limit.start(totalTimeout);
    if (!reply->isFinished()) loop.exec();

    if (!stopped) {
        const auto error = reply->error();
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
            // Only the idle time limit cancels a transfer that this side did not stop itself.
            stopped = UpdateChecker::timedOutMessage;
        } else if (error != QNetworkReply::NoError && !(isStatusError(error) && httpStatus(reply) != 0)) {
            stopped = reply->errorString();
        } else {
            take(reply->readAll());  // the rest, and the beginning of an empty body
        }
    }
    fetched.failure = stopped;
    fetched.status = httpStatus(reply);
    delete reply;
    return fetched;
}

}  // namespace avrane::helper
