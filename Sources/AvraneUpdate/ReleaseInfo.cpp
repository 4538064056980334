#include "AvraneUpdate/ReleaseInfo.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace avrane {

namespace {

// A URL as it reads back from its own encoded form, which is how it travels from the update
// helper to the application: the two must mean the same URL.
QUrl settled(const QUrl& url) { return QUrl::fromEncoded(url.toEncoded(), QUrl::StrictMode); }

std::optional<QUrl> readPackageURL(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    const QString text = value.toString();
    const QUrl url(text, QUrl::StrictMode);
    // QUrl folds the scheme to lower case; the manifest must spell it "https" itself. A URL
    // without a host ("https:/r/x.deb") names nothing to download from, and a fragment means
    // nothing to a download.
    if (!url.isValid() || url.scheme() != QLatin1String("https") ||
        !text.startsWith(QLatin1String("https:")) || url.host().isEmpty() || url.hasFragment()) {
        return std::nullopt;
    }
    return settled(url);
}

std::optional<QUrl> readNotesURL(const QJsonValue& value) {
    if (!value.isString() || value.toString().isEmpty()) return std::nullopt;
    const QUrl url(value.toString(), QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    return settled(url);
}

}  // namespace

bool ReleaseInfo::isUsableVersion(QStringView version) {
    for (const QChar c : version) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                             (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_' ||
                             c == u'+';
        if (!allowed) return false;
    }
    return true;
}

std::optional<ReleaseInfo> ReleaseInfo::decode(QByteArrayView manifest) {
    if (manifest.size() > maximumManifestSize) return std::nullopt;

    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(manifest.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return fromJson(document.object());
}

std::optional<ReleaseInfo> ReleaseInfo::fromJson(const QJsonObject& object) {
    const QJsonValue version = object.value(QLatin1String("version"));
    if (!version.isString() || !isUsableVersion(version.toString())) return std::nullopt;
    auto package = readPackageURL(object.value(QLatin1String("package_url")));
    if (!package) return std::nullopt;

    ReleaseInfo info{version.toString(), std::move(*package), std::nullopt, std::nullopt};
    if (const QJsonValue sha = object.value(QLatin1String("sha256")); sha.isString()) {
        info.sha256 = sha.toString();
    }
    info.notesURL = readNotesURL(object.value(QLatin1String("notes_url")));
    return info;
}

QJsonObject ReleaseInfo::toJson() const {
    QJsonObject object{{QLatin1String("version"), version},
                       {QLatin1String("package_url"), QString::fromUtf8(packageURL.toEncoded())}};
    if (sha256) object.insert(QLatin1String("sha256"), *sha256);
    if (notesURL) object.insert(QLatin1String("notes_url"), QString::fromUtf8(notesURL->toEncoded()));
    return object;
}

}  // namespace avrane
