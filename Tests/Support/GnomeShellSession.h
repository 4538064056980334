#pragma once

// GNOME Shell 43 on no screen, as a Wayland session with XWayland and the AppIndicator
// extension (the only tray GNOME has). Debian packages: gnome-shell,
// gnome-shell-extension-appindicator, xwayland, dbus-daemon.
//
// GNOME allows no screenshot, no Eval and no virtual input from outside, so it also loads a
// test-only extension (gnome-shell-probe/ beside this file) that does them over the session
// bus. Settings live in a keyfile of its own (GSETTINGS_BACKEND=keyfile), not in dconf.

#include <optional>
#include <vector>

#include <QDBusConnection>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>

#include "Support/DesktopSession.h"

namespace avrane::testing {

class GnomeShell : public DesktopPart {
public:
    static constexpr QSize monitorSize{1280, 800};
    static inline const QString appIndicatorExtension = QStringLiteral("ubuntu-appindicators@ubuntu.com");

    struct TopBarItem {
        QString id;
        bool visible = false;
        QRect icon;  // the icon's box may be as high as the bar
        bool hovered = false;  // the shell has seen the pointer over it
    };
    struct TopBar {
        QRect bar;
        std::vector<TopBarItem> items;
    };
    struct Window {
        QString title;
        bool x11 = false, decorated = false, focused = false, skipTaskbar = false, minimized = false;
        QRect frame;  // with the title bar, when it has one
    };
    struct MenuEntry {
        QString label;
        QRect rect;
    };

    explicit GnomeShell(const SessionBus& bus);
    ~GnomeShell() override;
    // The session's WAYLAND_DISPLAY, XDG_RUNTIME_DIR, DISPLAY and XAUTHORITY (XWayland's),
    // XDG_SESSION_TYPE and XDG_CURRENT_DESKTOP. No QT_QPA_PLATFORM: programs choose.
    void addTo(QProcessEnvironment& environment) const override;

    // The whole screen; null if the shell could not take it.
    QImage screenshot() const;
    std::optional<TopBar> topBar() const;
    // The entries of the top bar's open menu; empty when none is open.
    std::vector<MenuEntry> openMenu() const;
    std::vector<Window> windows() const;
    std::optional<Window> window(const QString& title) const;
    ::testing::AssertionResult movePointer(QPoint to) const;
    // button 1 left, 2 middle, 3 right; two quick clicks make a double click.
    ::testing::AssertionResult click(QPoint at, int button = 1, int count = 1) const;
    ::testing::AssertionResult pressKey(quint32 keysym) const;
    // Switches the AppIndicator extension on or off, as the Extensions app does.
    ::testing::AssertionResult setAppIndicatorEnabled(bool enabled) const;

private:
    QDBusMessage probe(const QString& method, const QVariantList& arguments = {}) const;

    QTemporaryDir home_;
    // Its login manager module gives up without a system bus; an empty one is enough.
    SessionBus systemBus_;
    QDBusConnection bus_;
    QString x11Display_, xauthority_;
};

}  // namespace avrane::testing
