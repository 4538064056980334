#pragma once

// KDE Plasma 5.27 on an X display: KWin, the activity manager, kded5 (whose module is the
// StatusNotifierWatcher), xembedsniproxy, and plasmashell with one panel that holds only the
// System Tray (its own plasmoids switched off), so that the only icons in it are the tested
// programs'. Debian packages: plasma-workspace, plasma-desktop, kwin-x11, kactivitymanagerd.

#include <QRect>
#include <QString>

#include "Support/DesktopSession.h"

namespace avrane::testing {

class PlasmaDesktop : public DesktopPart {
public:
    enum class Edge { top, bottom };
    enum class Colours { breeze, breezeDark };
    static constexpr int panelThickness = 32;

    // Plasma keeps its configuration in `configHome`, which the programs under test should
    // share (XDG_CONFIG_HOME), as in a real session: the colour scheme is read from there.
    PlasmaDesktop(const XvfbDisplay& display, const SessionBus& bus, const QString& configHome, Edge edge = Edge::top,
                  Colours colours = Colours::breeze);
    ~PlasmaDesktop() override;
    // XDG_CURRENT_DESKTOP=KDE and XDG_SESSION_TYPE=x11; the display and bus come from their parts.
    void addTo(QProcessEnvironment& environment) const override;

    // The panel, in root coordinates.
    QRect panelArea() const;
    // plasmashell leaving (the tray's host; kded5 keeps the watcher), and coming back.
    void stopShell() { process_.stop(); }
    bool startShell();

private:
    const XvfbDisplay& display_;
    const SessionBus& bus_;
    QString configHome_;
    Edge edge_;
    QProcessEnvironment environment_;
    ChildProcess kwin_, activities_, kded_, xembedProxy_;
};

}  // namespace avrane::testing
