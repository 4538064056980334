#pragma once

#include <optional>

#include <QRect>

namespace avrane {

// Where an X11 (XEmbed) tray has put this program's tray icon, in screen coordinates, asked of
// the X server each time; nothing while the icon is not in such a tray. Qt's
// QSystemTrayIcon::geometry() keeps the icon's place inside the tray's window as the window was
// when it took the icon in, and a tray that starts with the program may move its bar into
// place just after that (trayer does).
std::optional<QRect> embeddedIconGeometry();

}  // namespace avrane
