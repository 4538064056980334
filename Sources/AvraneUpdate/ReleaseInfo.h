#pragma once

#include <optional>

#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringView>
#include <QUrl>

namespace avrane {

// A published release, as the release manifest describes it:
//
//   {"version": "1.4.0", "package_url": "https://…/avrane-1.4.0.deb",
//    "sha256": "9f86d0…", "notes_url": "https://…/1.4.0"}
struct ReleaseInfo {
    QString version;
    QUrl packageURL;
    // Hex digits of the package's SHA-256, in whatever case the manifest wrote them.
    std::optional<QString> sha256;
    std::optional<QUrl> notesURL;

    bool operator==(const ReleaseInfo&) const = default;

    // No manifest comes near this; a larger body is refused unread.
    static constexpr qsizetype maximumManifestSize = 1024 * 1024;

    // The release a manifest body describes, or nothing when it is refused: not a JSON
    // object, "version" missing, not a string or unusable in a file name, "package_url"
    // missing or not an absolute https URL, or a body over the size limit. A "sha256" or
    // "notes_url" of the wrong kind counts as absent; other keys are ignored.
    static std::optional<ReleaseInfo> decode(QByteArrayView manifest);
    // The same rules for a manifest already read as a JSON object.
    static std::optional<ReleaseInfo> fromJson(const QJsonObject& manifest);
    // The manifest of this release, in the same keys.
    QJsonObject toJson() const;

    // The version text becomes part of the downloaded package's file name, and it comes
    // from the network: only ASCII letters, digits and . - _ + are allowed, so it cannot
    // name a path anywhere else.
    static bool isUsableVersion(QStringView version);
};

}  // namespace avrane
