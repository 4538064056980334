#include "AvraneBar/Panel/WaylandSession.h"

#include <cstring>

#include <QList>

namespace avrane::wayland {
namespace {

const char* const platformVariable = "QT_QPA_PLATFORM";

bool desktopIs(const QByteArray& currentDesktop, const char* name) {
    const QList<QByteArray> names = currentDesktop.split(':');
    return names.contains(QByteArray(name));
}

}  // namespace

Environment Environment::current(int argc, const char* const* argv) {
    Environment environment{qgetenv("XDG_SESSION_TYPE"), qgetenv("XDG_CURRENT_DESKTOP"), qgetenv("WAYLAND_DISPLAY"),
                            qgetenv("DISPLAY"), qgetenv(platformVariable)};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            environment.platformArgument = true;
    }
    return environment;
}

std::optional<QByteArray> platformForPanelPlacement(const Environment& e) {
    if (!e.qtPlatform.isEmpty() || e.platformArgument) return std::nullopt;
    const bool wayland = e.sessionType == "wayland" || (e.sessionType.isEmpty() && !e.waylandDisplay.isEmpty());
    if (!wayland || e.waylandDisplay.isEmpty() || e.x11Display.isEmpty()) return std::nullopt;
    if (!desktopIs(e.currentDesktop, "GNOME") && !desktopIs(e.currentDesktop, "KDE")) return std::nullopt;
    return QByteArray("xcb;wayland");
}

PlatformChoice::PlatformChoice(int argc, const char* const* argv) {
    if (const auto platform = platformForPanelPlacement(Environment::current(argc, argv))) {
        set_ = qputenv(platformVariable, *platform);
    }
}

PlatformChoice::~PlatformChoice() {
    if (set_) qunsetenv(platformVariable);
}

bool compositorPlacesWindows(const QString& platform) { return platform.startsWith(QLatin1String("wayland")); }

bool isWaylandSession(const QString& platform) {
    return compositorPlacesWindows(platform) || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace avrane::wayland
