#include "AvraneBar/Preferences/AutostartEntry.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include "AvraneBar/Identity/ApplicationId.h"
#include "AvraneBar/Localization/Str.h"

namespace avrane {

AutostartEntry::AutostartEntry(QString file, QString program) : path_(std::move(file)), program_(std::move(program)) {
    if (path_.isEmpty()) {
        // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config when that is unset.
        path_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/autostart/") + applicationId + QStringLiteral(".desktop");
    }
    if (program_.isEmpty()) program_ = QCoreApplication::applicationFilePath();
}

bool AutostartEntry::isEnabled() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    static const QRegularExpression hidden(QStringLiteral("^Hidden\\s*=\\s*true\\s*$"),
                                           QRegularExpression::MultilineOption);
    return !hidden.match(QString::fromUtf8(file.readAll())).hasMatch();
}

bool AutostartEntry::setEnabled(bool on) const {
    if (!on) {
        QFile::remove(path_);
        return isEnabled();
    }
    const std::optional<QString> exec = command(program_);
    if (!exec) return isEnabled();
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(contents(*exec));
        file.commit();
    }
    return isEnabled();
}

std::optional<QString> AutostartEntry::command(const QString& program) {
    const QString name = QFileInfo(program).fileName();
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath()) return name;
    // A value may hold no control character but the three the format escapes: anything else
    // in the path cannot be written.
    const auto escapable = [](QChar c) { return c == u'\n' || c == u'\t' || c == u'\r'; };
    if (std::any_of(program.begin(), program.end(),
                    [&](QChar c) { return (c.unicode() < 0x20 || c.unicode() == 0x7F) && !escapable(c); })) {
        return std::nullopt;
    }
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    if (std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); })) {
        return QString(program).replace(u'%', QStringLiteral("%%"));
    }
    // The Exec rules first: a quoted argument with its specials escaped.
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        quoted += c == u'%' ? QStringLiteral("%%") : QString(c);
    }
    // Then the format's own escapes, which a reader undoes before the Exec rules apply: a raw
    // newline would end the value and start a line of its own (Hidden=true, say).
    QString value;
    for (const QChar c : quoted) {
        if (c == u'\\') value += QStringLiteral("\\\\");
        else if (c == u'\n') value += QStringLiteral("\\n");
        else if (c == u'\t') value += QStringLiteral("\\t");
        else if (c == u'\r') value += QStringLiteral("\\r");
        else value += c;
    }
    return u'"' + value + u'"';
}

QByteArray AutostartEntry::contents(const QString& command) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Exec=%2 --%3\n"
                          "Icon=%4\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(en(Str::applicationName), command, QLatin1String(option), applicationId)
        .toUtf8();
}

}  // namespace avrane
