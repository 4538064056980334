#include "AvraneBar/StatusItem/TrayBackdropProbe.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "AvraneBar/StatusItem/EmbeddedIcon.h"
#include "AvraneBar/StatusItem/PlasmaPanelColours.h"

namespace avrane {
namespace {

bool gnomeShellOnBus() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell"));
}

}  // namespace

TrayDesktop probeTrayDesktop() {
    const QString currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    // The bus is asked only when the session does not name its desktop.
    return trayDesktop(currentDesktop, currentDesktop.isEmpty() && gnomeShellOnBus());
}

TrayBackdrop probeTrayBackdrop(std::optional<TrayKind> kind) {
    TrayBackdrop backdrop;
    backdrop.desktop = probeTrayDesktop();
    if (backdrop.desktop == TrayDesktop::plasma) backdrop.plasmaPanel = plasma::panelColours(plasma::Folders::fromEnvironment());
    if (kind == TrayKind::xembed) {
        backdrop.trayForeground = xembedTrayForeground();
        backdrop.behindIcon = colourAroundEmbeddedIcon();
    }
    return backdrop;
}

}  // namespace avrane
