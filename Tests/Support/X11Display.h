#pragma once

// Looks at an X display as a user would see it, and acts on it as a user would. Queries and
// screenshots go through xcb (libxcb1-dev); pointer and keyboard input through xdotool's XTEST
// (Debian package xdotool), so the server treats them as real input.

#include <cstdint>
#include <optional>
#include <vector>

#include <QImage>
#include <QRect>
#include <QString>

#include <gtest/gtest.h>

struct xcb_connection_t;

namespace avrane::testing {

using WindowId = std::uint32_t;

// A display name (":N") that no X server on this machine has taken.
QString unusedDisplayName();

struct WindowState {
    WindowId id = 0;
    QRect geometry;         // in root coordinates, without the border
    bool viewable = false;  // mapped, and so are all its ancestors
    QRect frame;            // with the window manager's frame (_NET_FRAME_EXTENTS) when it has one
};

class X11Display {
public:
    explicit X11Display(const QString& name);
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;
    ~X11Display();

    bool connected() const;
    QString name() const { return name_; }

    // The window titled `title` (_NET_WM_NAME, else WM_NAME), at any depth; a viewable one
    // when there are several.
    std::optional<WindowState> window(const QString& title) const;
    std::optional<WindowState> state(WindowId window) const;
    // Windows docked in a tray: XEmbed clients (they carry _XEMBED_INFO) that are not top-level,
    // in stacking order; of the program whose WM_CLASS instance is `program` when given.
    std::vector<WindowState> embeddedWindows(const QString& program = {}) const;
    std::optional<WindowId> selectionOwner(const char* selection) const;
    std::optional<WindowId> inputFocus() const;  // nullopt for none or PointerRoot
    // What another program taking the keyboard (a window manager, a click elsewhere) would do.
    void setInputFocus(WindowId window) const;
    // What a program moving its own window does (no window manager is asked).
    void moveWindow(WindowId window, QPoint to) const;
    // What a window manager does on a click on the window's close button (WM_DELETE_WINDOW).
    void closeWindow(WindowId window) const;
    // The class in WM_CLASS, which desktops match against a desktop file's StartupWMClass.
    QString windowClass(WindowId window) const;
    // The first of _NET_WM_WINDOW_TYPE, such as "_NET_WM_WINDOW_TYPE_NORMAL" (an ordinary
    // window, in the taskbar) or "_NET_WM_WINDOW_TYPE_UTILITY" (a tool window); empty for none.
    QString windowType(WindowId window) const;

    // The whole screen; a null image if it cannot be read.
    QImage screenshot() const;
    // The area the window manager leaves to windows (_NET_WORKAREA's first desktop).
    std::optional<QRect> workArea() const;

    // Moves the pointer in from the screen's bottom right corner to `position` (root
    // coordinates) and clicks there. Qt takes a second press within 400 ms and 5 px of the
    // last one for a double click (a tray icon then reports DoubleClick, not Trigger): click a
    // few pixels apart when toggling quickly.
    ::testing::AssertionResult click(QPoint position, int button = 1) const;
    // Presses and releases a key (an X keysym name such as "Escape") into the focused window.
    ::testing::AssertionResult pressKey(const QString& key) const;
    ::testing::AssertionResult movePointer(QPoint position) const;

private:
    ::testing::AssertionResult xdotool(const QStringList& arguments) const;
    std::uint32_t atom(const char* name) const;
    QString title(WindowId window) const;

    QString name_;
    xcb_connection_t* connection_ = nullptr;
    WindowId root_ = 0;
};

}  // namespace avrane::testing
