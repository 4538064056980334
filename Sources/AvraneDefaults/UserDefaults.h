#pragma once

#include <chrono>
#include <optional>

#include <QString>
#include <QVariant>

namespace avrane {

// The user's settings: one INI file read and written through QSettings. Every call opens
// the file afresh (QSettings shares one parsed copy per file within the process), so a
// store is a cheap value that any thread may use.
//
// QSettings hands back booleans and numbers as text after a restart ("true", "0.5"), so the
// typed reads accept the text forms too; anything else under a key reads as absent, like a
// missing key. `contains` tells the two apart where that matters. A damaged file reads as
// far as QSettings can parse it, by every reader alike; an unreadable file reads as empty.
class UserDefaults {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // The application's own file: $XDG_CONFIG_HOME/avrane/AvraneBar.conf, by default
    // ~/.config/avrane/AvraneBar.conf. The location is fixed on first use.
    static UserDefaults standard();

    explicit UserDefaults(QString filePath);

    const QString& filePath() const { return filePath_; }

    bool contains(const QString& key) const;
    // What is stored under `key`, as QSettings reads it; nothing for a missing key.
    std::optional<QVariant> object(const QString& key) const;

    // A boolean, or the text "true" or "false".
    std::optional<bool> boolean(const QString& key) const;
    // A finite number, or text that reads wholly as one.
    std::optional<double> number(const QString& key) const;
    std::optional<QString> text(const QString& key) const;
    // A valid date within the clock's range; text is never taken for one.
    std::optional<TimePoint> date(const QString& key) const;

    // Each write is saved to disk before it returns (QSettings replaces the file
    // atomically). False when it could not be saved; a non-finite number is not stored.
    bool setBoolean(const QString& key, bool value) const;
    bool setNumber(const QString& key, double value) const;
    bool setText(const QString& key, const QString& value) const;
    // Kept to the millisecond.
    bool setDate(const QString& key, TimePoint value) const;
    bool remove(const QString& key) const;

private:
    bool write(const QString& key, const QVariant& value) const;

    QString filePath_;
};

}  // namespace avrane
