#include "AvraneBar/StatusItem/MenuBarController.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneBar/Panel/WaylandSession.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "AvraneBar/StatusItem/EmbeddedIcon.h"
#include "AvraneBar/StatusItem/StatusIcon.h"
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
            QCoreApplication::quit();
            return;
        }
        content_->controller().setPanelVisible(false);
    });
    connect(panel_, &MenuBarPanel::deactivated, this, [this] {
        if (tray_ && panel_->isVisible() && toggle_.deactivated(now_())) hidePanel();
    });
    connect(host_, &TrayHost::appeared, this, &MenuBarController::installTrayIcon);
    NotificationCenter::defaultCenter().observe(Localization::didChange, this, [this] { relabel(); });
    NotificationCenter::defaultCenter().observe(MenuBarPreferences::didChange, this, [this] {
        if (const auto output = model_.preferencesChanged()) apply(*output);
    });
    applyWindowKind();
    host_->start();
}

MenuBarController::~MenuBarController() {
    delete tray_;
    delete menu_;
    delete panel_;
}

void MenuBarController::installTrayIcon() {
    if (tray_) return;
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
    if (open) show();
}

void MenuBarController::setTaskbarEntryWanted(bool wanted) {
    taskbarEntryWanted_ = wanted;
    applyWindowKind();
}

void MenuBarController::applyWindowKind() {
    panel_->setKind(taskbarEntryWanted_ || !tray_, tray_ != nullptr);
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

void MenuBarController::redrawIcon() {
    if (!tray_) return;
    const QColor colour = QApplication::palette().color(QPalette::WindowText);
    tray_->setIcon(statusIcon(model_.renderedTitle().value_or(QString()), colour));
    emit iconRedrawn();
}

void MenuBarController::relabel() {
    const Localization& texts = Localization::shared();
    panel_->setWindowTitle(texts.text(Str::headsetModelName));
    if (openAction_) {
        openAction_->setText(texts.text(Str::headsetModelName));
        quitAction_->setText(texts.text(Str::quit));
    }
    if (const auto output = model_.relabel()) apply(*output);
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
    // The panel hears of a new application palette (a change of theme) like every window.
    if (watched == panel_ && event->type() == QEvent::PaletteChange) redrawIcon();
    return QObject::eventFilter(watched, event);
}

}  // namespace avrane
