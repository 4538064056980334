#include "AvraneBar/StatusItem/MenuBarController.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QEvent>
#include <QMenu>
#include <QPointer>

#include "AvraneBar/Alerts/DesktopNotifier.h"
#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneBar/Panel/WaylandSession.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "AvraneBar/StatusItem/EmbeddedIcon.h"
#include "AvraneBar/StatusItem/StatusIcon.h"
#include "AvraneBar/StatusItem/TrayBackdropProbe.h"
#include "AvraneBar/StatusItem/TrayHost.h"

namespace avrane {
namespace {

// Wayland tells a program neither where the pointer is outside its windows nor where the
// tray is; through XWayland the pointer's place is known only over X11 windows.
bool pointerIsKnown() { return !wayland::isWaylandSession(QGuiApplication::platformName()); }

}  // namespace

MenuBarController::MenuBarController(PanelViewController* content, SteadyNow now)
    : content_(content),
      panel_(new MenuBarPanel(content)),
      now_(now ? std::move(now) : SteadyNow([] { return std::chrono::steady_clock::now(); })),
      host_(new TrayHost(this)) {
    panel_->setWindowTitle(Localization::shared().text(Str::headsetModelName));
    panel_->installEventFilter(this);
    connect(panel_, &MenuBarPanel::closedByUser, this, [this] {
        // A window without a tray is the whole program; as a drop-down it only hides.
        if (!tray_) {
            closedWithoutTray();
            return;
        }
        content_->controller().setPanelVisible(false);
    });
    connect(panel_, &MenuBarPanel::deactivated, this, [this] {
        if (tray_ && panel_->isVisible() && toggle_.deactivated(now_())) hidePanel();
    });
    connect(host_, &TrayHost::availabilityChanged, this, [this](bool available) {
        if (available) {
            installTrayIcon();
        } else {
            removeTrayIcon();
        }
    });
    connect(host_, &TrayHost::answered, this, &MenuBarController::updateNotice);
    connect(host_, &TrayHost::answered, this, &MenuBarController::trayKnown);
    NotificationCenter::defaultCenter().observe(Localization::didChange, this, [this] { relabel(); });
    NotificationCenter::defaultCenter().observe(MenuBarPreferences::didChange, this, [this] {
        const IconInk before = ink_;
        ink_ = iconInk(MenuBarPreferences::trayIconColour(), backdrop_);
        const auto output = model_.preferencesChanged();
        if (output) apply(*output);
        if (ink_ != before && !(output && output->title)) redrawIcon();
    });
    absenceGrace_.setSingleShot(true);
    absenceGrace_.setInterval(trayAbsenceGrace);
    connect(&absenceGrace_, &QTimer::timeout, this, &MenuBarController::showIfStillWithoutTray);
    barWatch_.setInterval(100);
    connect(&barWatch_, &QTimer::timeout, this, [this] {
        // The tray's pixels are read once the icon is docked, and again if the tray moves it.
        const auto icon = embeddedIconGeometry();
        if (icon && icon != barLookedAt_) {
            barLookedAt_ = icon;
            lookAtBar();
        }
        if (++barChecks_ >= 50) barWatch_.stop();
    });
    // Plasma's panel follows the colour scheme, which can change while the program runs.
    QDBusConnection::sessionBus().connect(QString(), QStringLiteral("/KGlobalSettings"),
                                          QStringLiteral("org.kde.KGlobalSettings"), QStringLiteral("notifyChange"),
                                          this, SLOT(desktopSettingsChanged()));
    applyWindowKind();
    host_->start();
    // At login the tray may come up after the program: it has a moment before the window
    // opens instead (a start that opens the panel at once makes this moot).
    if (!tray_) absenceGrace_.start();
}

MenuBarController::~MenuBarController() {
    delete tray_;
    delete menu_;
    delete panel_;
}

void MenuBarController::installTrayIcon() {
    if (tray_) return;
    absenceGrace_.stop();
    leftRunning_ = false;
    // Qt settles here, once, on the kind of tray it serves.
    host_->settle();
    backdrop_ = probeTrayBackdrop(host_->settledKind());
    ink_ = iconInk(MenuBarPreferences::trayIconColour(), backdrop_);
    menu_ = new QMenu;
    openAction_ = menu_->addAction(QString(), this, &MenuBarController::show);
    batteryAction_ = menu_->addAction(QString());
    batteryAction_->setEnabled(false);  // desktops without tool tips show the battery here
    menu_->addSeparator();
    quitAction_ = menu_->addAction(QString(), qApp, &QCoreApplication::quit);
    tray_ = new QSystemTrayIcon(this);
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, &MenuBarController::activated);
    relabel();
    redrawIcon();
    tray_->setToolTip(toolTip_);
    tray_->show();
    // An ordinary window until now, perhaps sized and placed by a tiling compositor: it opens
    // again as the drop-down it has become, at its own size, under the icon.
    const bool open = panel_->isVisible();
    if (open) panel_->hide();
    applyWindowKind();
    updateNotice();
    if (open) {
        show();
        // The window made anew may hear late of the keyboard the old one lost.
        toggle_.remade(now_());
    }
    if (host_->settledKind() == TrayKind::xembed) {
        barLookedAt_.reset();
        barChecks_ = 0;
        barWatch_.start();
    }
}

void MenuBarController::removeTrayIcon() {
    if (!tray_) return;
    barWatch_.stop();
    delete tray_;
    tray_ = nullptr;
    delete menu_;
    menu_ = nullptr;
    openAction_ = batteryAction_ = quitAction_ = nullptr;
    applyWindowKind();
    updateNotice();
    if (!panel_->isVisible()) absenceGrace_.start();
}

void MenuBarController::showIfStillWithoutTray() {
    if (!tray_ && !panel_->isVisible() && !leftRunning_) show();
}

void MenuBarController::closedWithoutTray() {
    if (!MenuBarPreferences::flag(MenuBarPreferences::lowBatteryAlerts, true)) {
        QCoreApplication::quit();
        return;
    }
    leftRunning_ = true;
    content_->controller().setPanelVisible(false);
    if (toldKeepsRunning_) return;
    toldKeepsRunning_ = true;
    if (!notifier_) notifier_ = new DesktopNotifier(QDBusConnection::sessionBus(), this);
    const Localization& texts = Localization::shared();
    notifier_->show(texts.text(Str::keepsRunningTitle), texts.text(Str::keepsRunningBody), DesktopNotifier::Urgency::normal);
}

void MenuBarController::updateNotice() {
    QString notice;
    // Until the desktop has answered, no tray means nothing yet.
    if (!tray_ && host_->hasAnswered()) {
        if (!desktop_) desktop_ = probeTrayDesktop();
        const bool gnome = desktop_ == TrayDesktop::gnome || desktop_ == TrayDesktop::gnomeClassic;
        notice = Localization::shared().text(gnome ? Str::noTrayGnome : Str::noTray);
    }
    content_->setNotice(notice);
}

void MenuBarController::lookAtBar() {
    if (!tray_) return;
    backdrop_ = probeTrayBackdrop(host_->settledKind());
    const IconInk ink = iconInk(MenuBarPreferences::trayIconColour(), backdrop_);
    if (ink == ink_) return;
    ink_ = ink;
    redrawIcon();
}

void MenuBarController::setTaskbarEntryWanted(bool wanted) {
    taskbarEntryWanted_ = wanted;
    applyWindowKind();
}

void MenuBarController::applyWindowKind() {
    const bool taskbarEntry = taskbarEntryWanted_ || !tray_;
    const bool dropDown = tray_ != nullptr;
    // Another kind of window is made anew, and an open one loses the keyboard on the way.
    if (panel_->isVisible() && (panel_->hasTaskbarEntry() != taskbarEntry || panel_->isDropDown() != dropDown)) {
        toggle_.remade(now_());
    }
    panel_->setKind(taskbarEntry, dropDown);
}

void MenuBarController::render(const HeadsetSnapshot& snapshot) { apply(model_.render(snapshot)); }

void MenuBarController::apply(const StatusItemModel::Output& output) {
    if (output.title) redrawIcon();
    toolTip_ = output.toolTip;
    if (tray_) {
        tray_->setToolTip(toolTip_);
        batteryAction_->setText(toolTip_);
    }
}

std::optional<TrayKind> MenuBarController::trayKind() const { return host_->settledKind(); }

bool MenuBarController::trayIsKnown() const { return host_->hasAnswered(); }

void MenuBarController::redrawIcon() {
    if (!tray_) return;
    tray_->setIcon(statusIcon(model_.renderedTitle().value_or(QString()), ink_, [self = QPointer(this)] {
        if (self) emit self->iconRedrawn();
    }));
}

void MenuBarController::relabel() {
    const Localization& texts = Localization::shared();
    panel_->setWindowTitle(texts.text(Str::headsetModelName));
    if (openAction_) {
        openAction_->setText(texts.text(Str::headsetModelName));
        quitAction_->setText(texts.text(Str::quit));
    }
    if (const auto output = model_.relabel()) apply(*output);
    updateNotice();
}

void MenuBarController::activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) return;
    if (pointerIsKnown()) pointerAtActivation_ = QCursor::pos();
    switch (toggle_.activated(now_(), panel_->isVisible(), reason == QSystemTrayIcon::DoubleClick)) {
    case PanelToggle::Action::open: show(); break;
    case PanelToggle::Action::close: hidePanel(); break;
    case PanelToggle::Action::nothing: break;
    }
}

void MenuBarController::toggle() {
    if (panel_->isVisible()) {
        hidePanel();
    } else {
        show();
    }
}

void MenuBarController::show() {
    leftRunning_ = false;
    if (panel_->isVisible()) {
        panel_->raise();
        panel_->activateWindow();
        return;
    }
    content_->render(content_->controller().snapshot());
    panel_->applyStoredWidth();
    const std::optional<QRect> icon = iconGeometry();
    const std::optional<QPoint> pointer = std::exchange(pointerAtActivation_, std::nullopt);
    panel_->position(icon, pointer);
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
    content_->updateContentLimits();
    panel_->position(icon, pointer);
    panel_->holdSizeUntilMapped();
    toggle_.opened(now_());
    content_->controller().setPanelVisible(true);
    // Opened by the program rather than by a click: the tray may still be settling.
    if (!pointer && tray_) followIcon(icon);
}

std::optional<QRect> MenuBarController::iconGeometry() const {
    if (!tray_) return std::nullopt;
    if (const auto docked = embeddedIconGeometry()) return docked;
    // A StatusNotifierItem host does not tell.
    if (const QRect reported = tray_->geometry(); reported.isValid()) return reported;
    return std::nullopt;
}

void MenuBarController::followIcon(const std::optional<QRect>& placedUnder) {
    // An XEmbed tray takes a few tens of milliseconds to take in a new icon, and the panel
    // opens at launch before that; a tray starting with the program may even move its own bar
    // into place after taking the icon in (trayer does). So the open panel follows the icon
    // for a few seconds, moving only when the icon has moved.
    if (!iconWait_) {
        iconWait_ = new QTimer(this);
        iconWait_->setInterval(50);
        connect(iconWait_, &QTimer::timeout, this, [this] {
            if (tray_ && panel_->isVisible()) {
                if (const auto icon = iconGeometry(); icon && *icon != placedUnder_) {
                    panel_->position(icon, std::nullopt);
                    placedUnder_ = *icon;
                }
            }
            // Five seconds is plenty even for a slow machine at login.
            if (!panel_->isVisible() || ++iconChecks_ >= 100) iconWait_->stop();
        });
    }
    iconChecks_ = 0;
    placedUnder_ = placedUnder.value_or(QRect());
    iconWait_->start();
}

void MenuBarController::hidePanel() {
    panel_->hide();
    content_->controller().setPanelVisible(false);
}

bool MenuBarController::eventFilter(QObject* watched, QEvent* event) {
    // The panel hears of a new application palette (a change of theme) like every window; the
    // desktop's bar may have changed with it.
    if (watched == panel_ && event->type() == QEvent::PaletteChange) lookAtBar();
    return QObject::eventFilter(watched, event);
}

}  // namespace avrane
