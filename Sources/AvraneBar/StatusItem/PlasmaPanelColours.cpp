#include "AvraneBar/StatusItem/PlasmaPanelColours.h"

#include <QDir>
#include <QFile>

namespace avrane::plasma {
namespace {

// Breeze's light window colours, as Plasma uses them when nothing is configured.
constexpr BarColours breezeLight{{239, 240, 241}, Rgb{35, 38, 41}};

// Each of the files at `relativePath` in `folders` that exists, the user's first: KDE reads
// a setting from the first of them that has it.
QList<QByteArray> readAll(const QStringList& folders, const QString& relativePath) {
    QList<QByteArray> texts;
    for (const QString& folder : folders) {
        QFile file(QDir(folder).filePath(relativePath));
        if (file.open(QIODevice::ReadOnly)) texts << file.readAll();
    }
    return texts;
}

std::optional<QString> cascadeValue(const QList<QByteArray>& texts, QStringView group, QStringView key) {
    for (const QByteArray& text : texts) {
        if (auto value = configValue(text, group, key)) return value;
    }
    return std::nullopt;
}

std::optional<BarColours> windowColours(const QByteArray& text) {
    const QString group = QStringLiteral("Colors:Window");
    const auto value = [&](const char16_t* key) -> std::optional<Rgb> {
        const auto found = configValue(text, group, key);
        return found ? colourValue(*found) : std::nullopt;
    };
    const auto background = value(u"BackgroundNormal");
    if (!background) return std::nullopt;
    return BarColours{*background, value(u"ForegroundNormal")};
}

QStringList withEnvironment(const char* variable, const QString& fallback, bool list) {
    const QString value = qEnvironmentVariable(variable);
    if (value.isEmpty()) return {fallback};
    return list ? value.split(u':', Qt::SkipEmptyParts) : QStringList{value};
}

}  // namespace

std::optional<QString> configValue(const QByteArray& text, QStringView group, QStringView key) {
    bool inGroup = false;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group.toString() + u']';
            continue;
        }
        if (!inGroup) continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) continue;
        QString name = line.left(equals).trimmed();
        if (const qsizetype flags = name.indexOf(QLatin1String("[$")); flags >= 0) name.truncate(flags);
        if (name == key) return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

std::optional<Rgb> colourValue(const QString& text) {
    const QString value = text.trimmed();
    if (value.startsWith(u'#')) {
        bool ok = false;
        const uint rgb = value.mid(1).toUInt(&ok, 16);
        if (!ok || value.size() != 7) return std::nullopt;
        return Rgb{std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)};
    }
    const QStringList parts = value.split(u',');
    if (parts.size() != 3 && parts.size() != 4) return std::nullopt;
    int channels[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        channels[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || channels[i] < 0 || channels[i] > 255) return std::nullopt;
    }
    return Rgb{std::uint8_t(channels[0]), std::uint8_t(channels[1]), std::uint8_t(channels[2])};
}

Folders Folders::fromEnvironment() {
    Folders folders;
    folders.config = withEnvironment("XDG_CONFIG_HOME", QDir::homePath() + QLatin1String("/.config"), false) +
                     withEnvironment("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"), true);
    folders.data = withEnvironment("XDG_DATA_HOME", QDir::homePath() + QLatin1String("/.local/share"), false) +
                   withEnvironment("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"), true);
    return folders;
}

BarColours panelColours(const Folders& folders) {
    // Names come from files the user may edit: never a path.
    const auto plainName = [](const QString& name) { return !name.isEmpty() && !name.contains(u'/') && name != u".."; };
    const auto firstColours = [](const QList<QByteArray>& texts) -> std::optional<BarColours> {
        for (const QByteArray& text : texts) {
            if (auto colours = windowColours(text)) return colours;
        }
        return std::nullopt;
    };
    const QString style = cascadeValue(readAll(folders.config, QStringLiteral("plasmarc")), u"Theme", u"name")
                              .value_or(QStringLiteral("default"));
    if (plainName(style)) {
        if (auto own = firstColours(readAll(folders.data, QStringLiteral("plasma/desktoptheme/%1/colors").arg(style)))) {
            return *own;
        }
    }
    const QList<QByteArray> kdeglobals = readAll(folders.config, QStringLiteral("kdeglobals"));
    if (auto scheme = firstColours(kdeglobals)) return *scheme;
    const QString schemeName = cascadeValue(kdeglobals, u"General", u"ColorScheme").value_or(QString());
    if (plainName(schemeName)) {
        if (auto named = firstColours(readAll(folders.data, QStringLiteral("color-schemes/%1.colors").arg(schemeName)))) {
            return *named;
        }
    }
    return breezeLight;
}

}  // namespace avrane::plasma
