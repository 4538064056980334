#pragma once

// sway on no screen, and waybar with its tray on it. Debian packages: sway, waybar, grim (the
// screenshots), util-linux (unshare), and qt6-wayland for the Qt programs shown on it.
//
//   SessionBus bus;
//   SwayCompositor sway;
//   Waybar bar(sway, bus, Waybar::Edge::top);
//   ASSERT_TRUE(bus.started() && sway.started() && bar.started());
//   app.start(path, {}, childEnvironment({&bus, &sway}));

#include <optional>
#include <vector>

#include <QImage>
#include <QJsonDocument>
#include <QRect>
#include <QTemporaryDir>

#include "Support/DesktopSession.h"

namespace avrane::testing {

// One window as sway's tree holds it.
struct SwayWindow {
    QString title;
    QRect rect;  // the window's content, in layout coordinates
    bool floating = false;
};

// sway, headless, on one 1280 x 800 output, in a user namespace of its own (sway refuses to
// run as root), with a runtime folder of its own. Headless it has no input devices: nothing
// can be clicked or typed; its IPC socket and grim's screenshots show what a user would see.
class SwayCompositor : public DesktopPart {
public:
    static constexpr QSize outputSize{1280, 800};

    SwayCompositor();
    ~SwayCompositor() override;
    // WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK, XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP and
    // QT_QPA_PLATFORM=wayland, as sway gives the programs it starts; DISPLAY removed.
    void addTo(QProcessEnvironment& environment) const override;

    // A reply of swaymsg -t `type`; null on failure.
    QJsonDocument ask(const QString& type) const;
    std::vector<SwayWindow> windows() const;
    std::optional<SwayWindow> window(const QString& title) const;
    QRect outputArea() const;     // the output in layout coordinates
    QRect workspaceArea() const;  // the part of it the bars leave to windows
    // The whole output; a null image if grim fails.
    QImage screenshot() const;

private:
    QTemporaryDir runtimeDirectory_;
    QString waylandSocket_, ipcSocket_;
};

// waybar with only its tray (22 px icons at the bar's right end) along one edge of the output,
// 30 px high, in its default dark style or a light one. It brings its own
// StatusNotifierWatcher, and goes with it when stopped.
class Waybar : public DesktopPart {
public:
    enum class Edge { top, bottom };
    enum class Style { dark, light };
    static constexpr int height = 30;

    Waybar(const SwayCompositor& sway, const SessionBus& bus, Edge edge = Edge::top, Style style = Style::dark);
    void addTo(QProcessEnvironment&) const override {}
    // The bar's rectangle in layout coordinates.
    QRect area() const;

private:
    const SwayCompositor& sway_;
    Edge edge_;
    QTemporaryDir directory_;
};

}  // namespace avrane::testing
