#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>

#include "AvraneBar/StatusItem/PanelToggle.h"
#include "AvraneBar/StatusItem/StatusItemText.h"

class QAction;
class QMenu;

namespace avrane {

class MenuBarPanel;
class PanelViewController;
class TrayHost;

// The application's presence outside the panel's content: the tray item (the headphones with
// the battery drawn in, its tool tip and menu) and the panel window that drops down from it.
// It opens and closes the panel, closes it when it loses activation, and tells the headset
// controller whether the panel is open.
//
// Without a tray (none at launch, or a desktop that has none) the panel is an ordinary
// window, in the taskbar, and closing it quits; when a tray appears the item is installed
// and the panel becomes a drop-down again.
class MenuBarController : public QObject {
    Q_OBJECT

public:
    using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

    explicit MenuBarController(PanelViewController* content, SteadyNow now = {});
    ~MenuBarController() override;

    // Opens the panel under the tray item, or raises it when it is open.
    void show();
    // Closes the panel when it is open, else opens it.
    void toggle();
    // The tray item's title and tool tip for the snapshot.
    void render(const HeadsetSnapshot& snapshot);
    // Whether the panel has a taskbar entry (the Dock preference); a panel without a tray
    // always has one.
    void setTaskbarEntryWanted(bool wanted);

    MenuBarPanel* panel() const { return panel_; }
    PanelViewController* content() const { return content_; }
    // The tray item; nothing until a tray is there.
    QSystemTrayIcon* trayIcon() const { return tray_; }
    bool hasTray() const { return tray_ != nullptr; }
    // The title drawn in the icon last, and the tool tip.
    const std::optional<QString>& renderedTitle() const { return model_.renderedTitle(); }
    QString toolTip() const { return toolTip_; }

signals:
    // The icon was drawn again (a new title or palette).
    void iconRedrawn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installTrayIcon();
    void apply(const StatusItemModel::Output& output);
    void redrawIcon();
    void relabel();
    void activated(QSystemTrayIcon::ActivationReason reason);
    void hidePanel();
    void applyWindowKind();
    // Where the tray shows the icon, when it says.
    std::optional<QRect> iconGeometry() const;
    // Keeps the open panel under the icon for a few seconds while the tray settles.
    void followIcon(const std::optional<QRect>& placedUnder);

    PanelViewController* content_;
    MenuBarPanel* panel_;
    SteadyNow now_;
    StatusItemModel model_;
    PanelToggle toggle_;
    TrayHost* host_;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* batteryAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    QString toolTip_;
    std::optional<QPoint> pointerAtActivation_;
    QTimer* iconWait_ = nullptr;
    int iconChecks_ = 0;
    QRect placedUnder_;  // the icon geometry the panel was last placed under while following it
    bool taskbarEntryWanted_ = false;
};

}  // namespace avrane
