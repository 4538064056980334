#include "AvraneDefaults/UserDefaults.h"

#include <cmath>

#include <QDateTime>
#include <QSettings>

namespace avrane {

namespace {

// The status is not looked at: QSettings reports a damaged file only to the first reader of
// the copy it parses and shares, while every reader gets the same parsed keys. Those are what
// a damaged file holds, for every reader alike (and what the next save keeps).
std::optional<QVariant> readValue(const QString& filePath, const QString& key) {
    QSettings settings(filePath, QSettings::NativeFormat);
    if (!settings.contains(key)) return std::nullopt;
    return settings.value(key);
}

// After a sync, FormatError only says that the file found on disk was damaged; it has been
// replaced all the same. AccessError means nothing was written.
bool saved(const QSettings& settings) {
    return settings.status() != QSettings::AccessError;
}

}  // namespace

UserDefaults UserDefaults::standard() {
    static const QString path =
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("avrane"),
                  QStringLiteral("AvraneBar"))
            .fileName();
    return UserDefaults(path);
}

UserDefaults::UserDefaults(QString filePath) : filePath_(std::move(filePath)) {}

bool UserDefaults::contains(const QString& key) const {
    return readValue(filePath_, key).has_value();
}

std::optional<QVariant> UserDefaults::object(const QString& key) const {
    return readValue(filePath_, key);
}

std::optional<bool> UserDefaults::boolean(const QString& key) const {
    const auto value = readValue(filePath_, key);
    if (!value) return std::nullopt;
    if (value->typeId() == QMetaType::Bool) return value->toBool();
    if (value->typeId() == QMetaType::QString) {
        const QString text = value->toString();
        if (text == QLatin1String("true")) return true;
        if (text == QLatin1String("false")) return false;
    }
    return std::nullopt;
}

std::optional<double> UserDefaults::number(const QString& key) const {
    const auto value = readValue(filePath_, key);
    if (!value) return std::nullopt;
    double number = 0;
    bool ok = false;
    switch (value->typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value->toDouble(&ok);
        break;
    case QMetaType::QString:
        number = value->toString().toDouble(&ok);
        break;
    default:
        break;
    }
    if (!ok || !std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<QString> UserDefaults::text(const QString& key) const {
    const auto value = readValue(filePath_, key);
    if (!value || value->typeId() != QMetaType::QString) return std::nullopt;
    return value->toString();
}

std::optional<UserDefaults::TimePoint> UserDefaults::date(const QString& key) const {
    const auto value = readValue(filePath_, key);
    if (!value || value->typeId() != QMetaType::QDateTime) return std::nullopt;
    const QDateTime date = value->toDateTime();
    if (!date.isValid()) return std::nullopt;
    // A damaged entry can decode as a valid but absurd date (a cut-off one reads as 4714 BC);
    // only what the clock can represent is a date here, and the conversion cannot overflow.
    using std::chrono::milliseconds;
    constexpr auto lowest = std::chrono::ceil<milliseconds>(TimePoint::min().time_since_epoch());
    constexpr auto highest = std::chrono::floor<milliseconds>(TimePoint::max().time_since_epoch());
    const qint64 ms = date.toMSecsSinceEpoch();
    if (ms < lowest.count() || ms > highest.count()) return std::nullopt;
    return TimePoint(milliseconds(ms));
}

bool UserDefaults::setBoolean(const QString& key, bool value) const {
    return write(key, value);
}

bool UserDefaults::setNumber(const QString& key, double value) const {
    if (!std::isfinite(value)) return false;
    return write(key, value);
}

bool UserDefaults::setText(const QString& key, const QString& value) const {
    return write(key, value);
}

bool UserDefaults::setDate(const QString& key, TimePoint value) const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(value.time_since_epoch());
    return write(key, QDateTime::fromMSecsSinceEpoch(ms.count(), Qt::UTC));
}

bool UserDefaults::remove(const QString& key) const {
    QSettings settings(filePath_, QSettings::NativeFormat);
    settings.remove(key);
    settings.sync();
    return saved(settings);
}

bool UserDefaults::write(const QString& key, const QVariant& value) const {
    QSettings settings(filePath_, QSettings::NativeFormat);
    settings.setValue(key, value);
    settings.sync();
    return saved(settings);
}

}  // namespace avrane
