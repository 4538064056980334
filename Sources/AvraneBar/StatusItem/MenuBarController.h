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
#include "AvraneBar/StatusItem/TrayIconInk.h"
#include "AvraneBar/StatusItem/TrayPresence.h"

class QAction;
class QMenu;

namespace avrane {

class DesktopNotifier;
class MenuBarPanel;
class PanelViewController;
class TrayHost;

// The application's presence outside the panel's content: the tray item (the headphones with
// the battery drawn in, its tool tip and menu) and the panel window that drops down from it.
// It opens and closes the panel, closes it when it loses activation, and tells the headset
// controller whether the panel is open.
//
// Without a tray (none at launch, a desktop that has none, or a tray that went away) the panel
// is an ordinary window, in the taskbar, that Escape leaves open, with a line saying why; it
// opens by itself when no tray has come within a few seconds. Closing it quits, unless the
// low-battery alerts are on: the program then runs on for them and says so once. When a tray
// appears the item is installed and the panel becomes a drop-down again.
//
// The icon's colour follows the preference and, when automatic, what the desktop tells about
// its bar (TrayIconInk).
class MenuBarController : public QObject {
    Q_OBJECT

public:
    using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

    // How long the program waits for a tray, at launch or after one went away, before the
    // window opens by itself: a tray starting at login, or a bar restarting, comes within it.
    static constexpr std::chrono::seconds trayAbsenceGrace{5};

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
    // The tray item; nothing while no tray is there.
    QSystemTrayIcon* trayIcon() const { return tray_; }
    bool hasTray() const { return tray_ != nullptr; }
    // The kind of tray the icon is in, once Qt has settled on one.
    std::optional<TrayKind> trayKind() const;
    // Whether the desktop has said if it has a tray (a moment after launch; `trayKnown` tells).
    bool trayIsKnown() const;
    // The title drawn in the icon last, and the tool tip.
    const std::optional<QString>& renderedTitle() const { return model_.renderedTitle(); }
    QString toolTip() const { return toolTip_; }

signals:
    // The icon was drawn again (a new title or palette): the tray has taken in its picture.
    void iconRedrawn();
    // The desktop has said whether it has a tray, and the icon is in it if it has (once).
    void trayKnown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // KDE's announcement of changed settings (a colour scheme among them), connected by name.
    void desktopSettingsChanged() { lookAtBar(); }

private:
    void installTrayIcon();
    void removeTrayIcon();
    void closedWithoutTray();
    void showIfStillWithoutTray();
    void updateNotice();
    // Asks the desktop about its bar again, and draws the icon again if its ink changed.
    void lookAtBar();
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
    QTimer absenceGrace_;
    QTimer barWatch_;  // while an XEmbed tray takes the icon in
    int barChecks_ = 0;
    std::optional<QRect> barLookedAt_;  // the icon's place when its tray's pixels were read
    TrayBackdrop backdrop_;
    IconInk ink_{white, black};
    std::optional<TrayDesktop> desktop_;
    DesktopNotifier* notifier_ = nullptr;
    bool leftRunning_ = false;      // the user closed the window without a tray
    bool toldKeepsRunning_ = false;
    QRect placedUnder_;  // the icon geometry the panel was last placed under while following it
    bool taskbarEntryWanted_ = false;
};

}  // namespace avrane
