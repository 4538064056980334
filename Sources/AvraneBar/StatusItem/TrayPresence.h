#pragma once

#include <optional>

namespace avrane {

// The trays on the desktop: a StatusNotifierWatcher with a registered host on the session
// bus, and an X11 system tray (XEmbed, the owner of _NET_SYSTEM_TRAY_S<n>).
struct TrayHosts {
    bool statusNotifierHost = false;
    bool xembedTray = false;

    bool operator==(const TrayHosts&) const = default;
};

enum class TrayKind { statusNotifierItem, xembed };

// Whether a StatusNotifierItem host is there. The watcher's word, unless hosts were seen on
// the bus under their names (org.kde.StatusNotifierHost-…) and none is left: kded5's watcher
// keeps counting a Plasma shell that has quit. A host without such a name (GNOME's extension
// is its own watcher) is known only from the watcher.
inline bool statusNotifierHostPresent(bool watcherSays, bool hostNamesSeen, bool hostNamesLeft) {
    return watcherSays && (!hostNamesSeen || hostNamesLeft);
}

// Qt 6.4 decides once per process, at its first tray call, between a StatusNotifierItem (when
// a watcher with a registered host is there) and an XEmbed icon, and keeps that answer: an icon
// of the other kind never shows, whatever tray comes later.
inline TrayKind kindAtFirstTrayCall(TrayHosts hosts) {
    return hosts.statusNotifierHost ? TrayKind::statusNotifierItem : TrayKind::xembed;
}

// Whether an icon would show now. Before the first tray call either tray will do (XEmbed only
// under X11); after it, only a tray of the kind Qt settled on.
inline bool trayCanShowIcon(TrayHosts hosts, std::optional<TrayKind> settled, bool x11) {
    if (!settled) return hosts.statusNotifierHost || (x11 && hosts.xembedTray);
    return *settled == TrayKind::statusNotifierItem ? hosts.statusNotifierHost : hosts.xembedTray;
}

}  // namespace avrane
