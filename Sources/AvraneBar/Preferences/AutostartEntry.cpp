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
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(contents(command(program_)));
        file.commit();
    }
    return isEnabled();
}

QString AutostartEntry::command(const QString& program) {
    const QString name = QFileInfo(program).fileName();
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath()) return name;
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); })) {
        return QString(program).replace(u'%', QStringLiteral("%%"));
    }
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        quoted += c == u'%' ? QStringLiteral("%%") : QString(c);
    }
    // The desktop entry format unescapes backslashes once more before the Exec rules apply.
    return u'"' + quoted.replace(u'\\', QStringLiteral("\\\\")) + u'"';
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
