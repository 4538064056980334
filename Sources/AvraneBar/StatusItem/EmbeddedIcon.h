#pragma once

#include <optional>

#include <QRect>

#include "AvraneBar/StatusItem/TrayIconInk.h"

namespace avrane {

// Where an X11 (XEmbed) tray has put this program's tray icon, in screen coordinates, asked of
// the X server each time; nothing while the icon is not in such a tray. Qt's
// QSystemTrayIcon::geometry() keeps the icon's place inside the tray's window as the window was
// when it took the icon in, and a tray that starts with the program may move its bar into
// place just after that (trayer does).
std::optional<QRect> embeddedIconGeometry();

// The colour an X11 tray asks its icons to be drawn in (the foreground of
// _NET_SYSTEM_TRAY_COLORS on the tray's manager window), when it states one.
std::optional<Rgb> xembedTrayForeground();

// The tray's own colour around this program's docked icon: the median, by luminance, of the
// pixels of the tray's window in a ring just outside the icon. Nothing while the icon is not
// docked, or where the tray's pixels cannot be read as plain RGB.
std::optional<Rgb> colourAroundEmbeddedIcon();

}  // namespace avrane
