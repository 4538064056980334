#pragma once

#include <optional>

#include "AvraneBar/StatusItem/TrayIconInk.h"
#include "AvraneBar/StatusItem/TrayPresence.h"

namespace avrane {

// What the desktop tells now about the bar behind the tray icon: its name (and GNOME Shell on
// the session bus), Plasma's panel colours from its files, and for an icon in an XEmbed tray
// the colour the tray states for its icons and the tray's pixels around the icon.
TrayBackdrop probeTrayBackdrop(std::optional<TrayKind> kind);
// The desktop alone.
TrayDesktop probeTrayDesktop();

}  // namespace avrane
