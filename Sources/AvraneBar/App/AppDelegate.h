#pragma once

#include <memory>

#include <QObject>
#include <QTimer>

#include "AvraneBar/Alerts/DesktopNotifier.h"
#include "AvraneBar/Alerts/LowBatteryAlerts.h"
#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneUpdate/UpdateChecker.h"

namespace avrane {

class HeadsetService;
class MenuBarController;
class PanelViewController;

// The running application: it makes the headset controller and the update checker, the tray
// item and the panel at launch (the panel's views when it first opens), starts the controller
// and the periodic update check, hands every snapshot and update state to the interface,
// follows the taskbar preference, opens the panel once (not when started at login) after the
// tray has drawn the icon, and only then makes the first update check, raises the low-battery
// alerts, and writes the diagnostic lines.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds updateCheckPeriod{1800};
    static constexpr std::chrono::milliseconds layoutDumpDelay{1500};
    static constexpr const char* layoutDumpVariable = "AVRANE_BAR_OPEN";
    // How long the panel opened at launch waits for the tray to draw the icon first.
    static constexpr std::chrono::milliseconds iconWaitAtLaunch{300};

    // Nothing starts yet.
    explicit AppDelegate(HeadsetController::Options controllerOptions = {}, UpdateChecker::Options updateOptions = {});
    ~AppDelegate() override;

    // Before the launch: whether the panel opens once by itself (not for a start at login).
    void setOpensPanelAtLaunch(bool opens) { opensPanelAtLaunch_ = opens; }
    // Once, when the event loop runs.
    void applicationDidFinishLaunching();
    void render(const HeadsetSnapshot& snapshot);
    void applyDockPreference();

    HeadsetController& controller() { return *controller_; }
    UpdateChecker& updateChecker() { return updateChecker_; }
    MenuBarController* menuBar() const { return menuBar_.get(); }
    PanelViewController* content() const { return content_; }
    // The headset on the session bus; served once the application holds its name there.
    HeadsetService& service() { return *service_; }

    // The panel's widget tree as the layout dump writes it.
    std::string layoutDump() const;

private:
    static HeadsetController::Options withMainThread(HeadsetController::Options options);
    void log(const HeadsetSnapshot& snapshot) const;
    void alert(const HeadsetSnapshot& snapshot);
    void dumpLayout() const;
    void openPanelAfterIcon();
    void openPanelOnceTrayIsKnown();

    UpdateChecker updateChecker_;
    std::unique_ptr<HeadsetController> controller_;
    std::unique_ptr<HeadsetService> service_;
    std::unique_ptr<MenuBarController> menuBar_;
    PanelViewController* content_ = nullptr;  // owned by the panel window
    QTimer updateTimer_;
    QTimer panelAtLaunch_;
    LowBatteryAlerts alerts_;
    DesktopNotifier notifier_;
    bool opensPanelAtLaunch_ = true;
};

}  // namespace avrane
