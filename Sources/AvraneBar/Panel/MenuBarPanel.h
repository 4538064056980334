#pragma once

#include <optional>

#include <QString>
#include <QWidget>

#include "AvraneBar/Panel/PanelGeometry.h"
#include "AvraneBar/Panel/PanelPlacement.h"
#include "AvraneBar/Panel/PanelSizing.h"
#include "AvraneDefaults/UserDefaults.h"

class QWindow;

namespace avrane {

class PanelViewController;

// The window that drops down from the tray item and holds the settings panel: a titled tool
// window above other windows, resizable, hidden (not destroyed) by Escape and by its close
// button. It remembers the size the user gives it, and not the sizes the program sets.
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
    // Moves the window as the placement rules say (nothing where the platform cannot place
    // windows, as on Wayland). The icon's or pointer's position is in Qt's screen coordinates.
    void position(const std::optional<QRect>& trayIcon, const std::optional<QPoint>& pointer);
    // The tray icon's rectangle at the last placement, in Qt's screen coordinates.
    QRect lastButtonFrame() const { return lastButtonFrame_; }
    // Stores the current size, for a user's resize.
    void rememberSize();
    // Forgets the stored size; the width returns to the fitting one at once, the height at the
    // next size-limit update.
    void resetWidth();
    // Whether the window has an entry in the taskbar and the window switcher.
    void setTaskbarEntry(bool shown);
    bool hasTaskbarEntry() const { return taskbarEntry_; }
    // Whether Escape hides the window: for the drop-down, not for an ordinary window.
    void setHidesOnEscape(bool hides) { hidesOnEscape_ = hides; }
    // Sets the size inside the resize bracket.
    void resizeByProgram(QSize size);

signals:
    // The user closed the window (its close button or Escape).
    void closedByUser();
    // Another window (not one of its own pop-ups) became the active one, or none is.
    void deactivated();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Qt::WindowFlags flagsFor(bool taskbarEntry) const;
    void focusWindowChanged(QWindow* focus);

    PanelViewController* content_;
    UserDefaults defaults_;
    sizing::ResizeBracket bracket_;
    QRect lastButtonFrame_;
    bool taskbarEntry_ = false;
    bool hidesOnEscape_ = true;
    bool iconLookedUp_ = false;
};

}  // namespace avrane
