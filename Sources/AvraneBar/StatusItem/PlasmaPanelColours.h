#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "AvraneBar/StatusItem/TrayIconInk.h"

namespace avrane::plasma {

// A value in a KDE configuration text (kdeglobals, plasmarc, a colour scheme): `key` in the
// group headed `[group]`, a locked or expanded key (`key[$e]`) counting as the key itself.
std::optional<QString> configValue(const QByteArray& text, QStringView group, QStringView key);
// A colour written as "r,g,b" (an alpha after them is ignored) or "#rrggbb".
std::optional<Rgb> colourValue(const QString& text);

// Where the files are read from: the user's configuration and data folders first
// ($XDG_CONFIG_HOME, $XDG_DATA_HOME), then the system's ($XDG_CONFIG_DIRS, $XDG_DATA_DIRS).
struct Folders {
    QStringList config;
    QStringList data;

    // From the environment, with the XDG defaults.
    static Folders fromEnvironment();
};

// The colours of Plasma's panel. The Plasma style ([Theme] name in plasmarc, "default" when
// unset) colours the panel: a style with a colour file of its own (breeze-dark, breeze-light)
// from that file, the default style from the user's colour scheme (its [Colors:Window] in
// kdeglobals, or the scheme file named there). Without any of them, Breeze's light colours,
// which Plasma itself falls back to.
BarColours panelColours(const Folders& folders);

}  // namespace avrane::plasma
