#pragma once

#include <optional>

#include <QMargins>

#include <QString>
#include <QWidget>

#include "AvraneBar/Panel/PanelGeometry.h"
#include "AvraneBar/Panel/PanelPlacement.h"
#include "AvraneBar/Panel/PanelSizing.h"
#include "AvraneDefaults/UserDefaults.h"

class QWindow;

namespace avrane {

class EdgeResize;
class PanelViewController;
class SwayWindows;

// The window that drops down from the tray item and holds the settings panel: a titled tool
// window above other windows, resizable, hidden (not destroyed) by Escape and by its close
// button. It remembers the size the user gives it, and not the sizes the program sets.
//
// On Wayland the drop-down has no title bar (resized from its edges instead), shows at its own
// size where tiling compositors would fill the screen with it, and is placed by sway on
// request (see WaylandSession.h for the other compositors).
class MenuBarPanel : public QWidget {
    Q_OBJECT

public:
    static inline const QString contentWidthKey = QStringLiteral("panel.contentWidth");
    static inline const QString contentHeightKey = QStringLiteral("panel.contentHeight");

    explicit MenuBarPanel(PanelViewController* content, UserDefaults defaults = UserDefaults::standard());

    PanelViewController* content() const { return content_; }
    sizing::ResizeBracket& resizeBracket() { return bracket_; }
    const UserDefaults& defaults() const { return defaults_; }

    // Before showing: the remembered width, or the width at which the content's titles fit.
    void applyStoredWidth();
    // Moves the window as the placement rules say (nothing where the compositor places
    // windows, as on Wayland, where sway is asked once the window shows). The icon's or
    // pointer's position is in Qt's screen coordinates.
    void position(const std::optional<QRect>& trayIcon, const std::optional<QPoint>& pointer);
    // Just shown: keeps the window at its present size until the compositor has taken it in.
    // Tiling compositors (sway, river, Hyprland) float a window that cannot be resized, and
    // decide so once, when it first shows.
    void holdSizeUntilMapped();
    // The tray icon's rectangle at the last placement, in Qt's screen coordinates.
    QRect lastButtonFrame() const { return lastButtonFrame_; }
    // The part of the window's screen that the desktop's bars leave free, in Qt's screen
    // coordinates (Qt knows none on Wayland; sway tells).
    QRect freeArea() const;
    // The window manager's frame around the window. An X11 window manager frames a window
    // only once it shows, and KWin then keeps it where it put it first, whatever the program
    // asks later: until the frame is known, a title bar's height is counted above the window,
    // so that the first opening fits beside the bar too.
    QMargins frameMargins() const;
    static constexpr int unknownTitleBar = 48;
    // Stores the current size, for a user's resize.
    void rememberSize();
    // Forgets the stored size; the width returns to the fitting one at once, the height at the
    // next size-limit update.
    void resetWidth();
    // Whether the window has an entry in the taskbar and the window switcher, and whether it is
    // the drop-down under the tray icon (Escape hides it; on Wayland it has no title bar) or
    // an ordinary window. A window shown meanwhile is shown again, and takes the keyboard.
    void setKind(bool taskbarEntry, bool dropDown);
    bool hasTaskbarEntry() const { return taskbarEntry_; }
    bool isDropDown() const { return dropDown_; }
    // Sets the size inside the resize bracket.
    void resizeByProgram(QSize size);

signals:
    // The user closed the window (its close button or Escape).
    void closedByUser();
    // Another window (not one of its own pop-ups) became the active one, or none is.
    void deactivated();

public:
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::WindowFlags flags() const;
    void applyFlags();
    void focusWindowChanged(QWindow* focus);
    // Where sway puts the window's top left corner, in its layout coordinates.
    std::optional<QPoint> swayPlace(const QRect& screen, const QRect& visible) const;

    PanelViewController* content_;
    UserDefaults defaults_;
    sizing::ResizeBracket bracket_;
    QRect lastButtonFrame_;
    EdgeResize* edgeResize_;
    SwayWindows* sway_ = nullptr;
    bool taskbarEntry_ = false;
    bool dropDown_ = true;
    bool holdingSize_ = false;
    bool iconLookedUp_ = false;
};

}  // namespace avrane
