#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

namespace avrane {

// What a Wayland session lets a program do with the panel's window, and the windowing platform
// asked of Qt for it.
//
// A Wayland compositor places every window itself and tells a program neither where the
// pointer is nor where the tray icon is. GNOME's mutter and KDE's KWin still honour the place
// an X11 program asks for and publish the area their bars leave free (_NET_WORKAREA), so
// there the application runs through XWayland: its panel then opens beside the bar like on
// X11, at the cost of being scaled up, not drawn sharp, on a screen scaled above 100 %.
// sway ignores both kinds of request (it is asked over its own socket, see SwayWindows.h);
// other compositors place the panel where they like.
namespace wayland {

// The variables the choice depends on, as the program found them.
struct Environment {
    QByteArray sessionType;     // XDG_SESSION_TYPE
    QByteArray currentDesktop;  // XDG_CURRENT_DESKTOP, a colon-separated list
    QByteArray waylandDisplay;  // WAYLAND_DISPLAY
    QByteArray x11Display;      // DISPLAY
    QByteArray qtPlatform;      // QT_QPA_PLATFORM
    bool platformArgument = false;  // -platform on the command line

    static Environment current(int argc, const char* const* argv);
};

// The QT_QPA_PLATFORM value that gets the panel placed (XWayland first, Wayland if the X
// server cannot be reached), or nothing to leave Qt's own choice: outside GNOME and KDE
// Plasma on Wayland, without XWayland, or where the user named a platform.
std::optional<QByteArray> platformForPanelPlacement(const Environment& environment);

// Asks Qt for that platform while it lives: Qt reads it when the application object is made,
// and the programs started later (the desktop's package installer, say) must not inherit it.
class PlatformChoice {
public:
    PlatformChoice(int argc, const char* const* argv);
    ~PlatformChoice();
    PlatformChoice(const PlatformChoice&) = delete;
    PlatformChoice& operator=(const PlatformChoice&) = delete;

private:
    bool set_ = false;
};

// Qt runs on Wayland itself (`platform` is QGuiApplication::platformName()): the compositor
// places the windows.
bool compositorPlacesWindows(const QString& platform);
// The session is a Wayland one, also while Qt runs through XWayland. The X server then learns
// of the pointer only while it is over an X11 window, so its position at a click in the
// desktop's bar is stale.
bool isWaylandSession(const QString& platform);

}  // namespace wayland
}  // namespace avrane
