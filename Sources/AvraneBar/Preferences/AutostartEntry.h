#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

namespace avrane {

// The XDG autostart entry that starts AvraneBar at login:
// $XDG_CONFIG_HOME/autostart/<application id>.desktop (~/.config/autostart/… when unset).
// The file is the setting: removing it by hand turns it off, and so does Hidden=true, which
// is how the desktop's own start-up settings switch an entry off. The entry starts the
// program with --autostart, which keeps its panel closed.
class AutostartEntry {
public:
    static constexpr const char* option = "autostart";

    // `file` empty: the user's entry; `program` empty: the running program.
    explicit AutostartEntry(QString file = {}, QString program = {});

    const QString& path() const { return path_; }
    bool isEnabled() const;
    // Writes or removes the entry, and returns whether it is on afterwards: a folder that
    // cannot be written leaves it as it was.
    bool setEnabled(bool on) const;

    // The Exec line's command: plain `avrane-bar` when that name on PATH is this very program
    // (an installed one stays valid when its folder changes), else the program's path,
    // quoted as desktop entries quote, with a newline, tab or carriage return in it escaped as
    // the format escapes them. Nothing for a path with another control character, which a
    // desktop entry cannot hold: no entry is written then.
    static std::optional<QString> command(const QString& program);
    static QByteArray contents(const QString& command);

private:
    QString path_;
    QString program_;
};

}  // namespace avrane
