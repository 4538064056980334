#include "AvraneUpdate/HelperReport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace avrane::helper {

namespace {

const QLatin1String releaseKey("release"), readyKey("ready"), failedKey("failed");

bool isReadable(const QString& message) {
    if (message.isEmpty()) return false;
    for (const QChar c : message) {
        if (c.category() == QChar::Other_Control) return false;
    }
    return true;
}

std::optional<Report> interpret(const QJsonObject& object) {
    if (object.size() != 1) return std::nullopt;
    const QString key = object.begin().key();
    const QJsonValue value = object.begin().value();
    if (key == releaseKey && value.isObject()) {
        auto release = ReleaseInfo::fromJson(value.toObject());
        if (release) return ManifestRead{std::move(*release)};
    } else if (key == readyKey && value.isString()) {
        const QString file = value.toString();
        if (QDir::isAbsolutePath(file) && QDir::cleanPath(file) == file) return PackageReady{file};
    } else if (key == failedKey && value.isString()) {
        if (isReadable(value.toString())) return Failure{value.toString()};
    }
    return std::nullopt;
}

}  // namespace

QByteArray encode(const Report& report) {
    QJsonObject object;
    if (const auto* read = std::get_if<ManifestRead>(&report)) {
        object.insert(releaseKey, read->release.toJson());
    } else if (const auto* ready = std::get_if<PackageReady>(&report)) {
        object.insert(readyKey, ready->file);
    } else {
        object.insert(failedKey, std::get<Failure>(report).message);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<Report> decode(QByteArrayView line) {
    if (line.size() >= maximumReportLength) return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    auto report = interpret(document.object());
    // Whatever the parser forgave (spacing, duplicate or unknown members, escapes, a value
    // the rules read as absent) makes the line differ from the one the helper writes.
    if (!report || encode(*report).chopped(1) != line) return std::nullopt;
    return report;
}

}  // namespace avrane::helper
