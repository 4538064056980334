#include "AvraneBar/Panel/MenuBarPanel.h"

#include <algorithm>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "AvraneBar/Panel/PanelViewController.h"

namespace avrane {
namespace {

Rect toRect(const QRect& r) { return {double(r.x()), double(r.y()), double(r.width()), double(r.height())}; }

// Wayland gives a program no say over where its windows go, and no way to learn where the
// tray is: the compositor places the panel.
bool compositorPlacesWindows() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace

MenuBarPanel::MenuBarPanel(PanelViewController* content, UserDefaults defaults)
    : content_(content), defaults_(std::move(defaults)) {
    setWindowFlags(flagsFor(false));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The content sets the window's limits itself.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(content_);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &MenuBarPanel::focusWindowChanged);
    const auto scope = bracket_.enter({sizing::initialSize.width, sizing::initialSize.height},
                                      {double(width()), double(height())});
    resize(int(sizing::initialSize.width), int(sizing::initialSize.height));
}

Qt::WindowFlags MenuBarPanel::flagsFor(bool taskbarEntry) const {
    // A tool window stays out of the taskbar and the window switcher; a normal one is in both.
    const Qt::WindowFlags kind = taskbarEntry ? Qt::Window : Qt::Tool;
    return kind | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
           Qt::WindowCloseButtonHint;
}

void MenuBarPanel::setTaskbarEntry(bool shown) {
    if (shown == taskbarEntry_) return;
    taskbarEntry_ = shown;
    const bool visible = isVisible();
    const QPoint where = pos();
    // Changing the flags takes the window down; put it back where it was.
    setWindowFlags(flagsFor(shown));
    if (visible) {
        move(where);
        show();
    }
}

void MenuBarPanel::showEvent(QShowEvent* event) {
    // The installed icon, for the taskbar entry on X11 (Wayland finds it through the desktop
    // file; a tool window has no entry); none when the program runs uninstalled. Looked up
    // when first needed: reading the icon theme is a good part of a launch.
    if (taskbarEntry_ && !iconLookedUp_) {
        iconLookedUp_ = true;
        setWindowIcon(QIcon::fromTheme(QGuiApplication::desktopFileName()));
    }
    QWidget::showEvent(event);
}

void MenuBarPanel::resizeByProgram(QSize size) {
    const auto scope = bracket_.enter({double(size.width()), double(size.height())}, {double(width()), double(height())});
    resize(size);
}

void MenuBarPanel::applyStoredWidth() {
    const double stored = defaults_.number(contentWidthKey).value_or(0);
    const auto target = sizing::widthToApply(stored, width(), content_->fittingWidth());
    if (!target) return;
    resizeByProgram(QSize(int(*target), height()));
    // An open panel grows to the right; it moves left rather than past the screen's edge.
    if (!isVisible() || compositorPlacesWindows()) return;
    const QScreen* screen = this->screen();
    if (!screen) return;
    const int overhang = frameGeometry().right() - screen->availableGeometry().right();
    if (overhang > 0) move(std::max(x() - overhang, screen->availableGeometry().left()), y());
}

void MenuBarPanel::rememberSize() {
    if (const auto size = sizing::sizeToRemember({double(width()), double(height())})) {
        defaults_.setNumber(contentWidthKey, size->width);
        defaults_.setNumber(contentHeightKey, size->height);
    }
}

void MenuBarPanel::resetWidth() {
    defaults_.remove(contentWidthKey);
    defaults_.remove(contentHeightKey);
    if (const auto target = sizing::widthAfterReset(width(), content_->fittingWidth())) resizeByProgram(QSize(int(*target), height()));
}

void MenuBarPanel::position(const std::optional<QRect>& trayIcon, const std::optional<QPoint>& pointer) {
    if (compositorPlacesWindows()) return;
    QScreen* screen = nullptr;
    if (trayIcon && trayIcon->isValid()) screen = QGuiApplication::screenAt(trayIcon->center());
    if (!screen && pointer) screen = QGuiApplication::screenAt(*pointer);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    if (trayIcon) lastButtonFrame_ = *trayIcon;

    // The rules count y upwards from the bottom; flip once against the virtual desktop.
    const QRect desktop = screen->virtualGeometry();
    const double extent = desktop.y() + desktop.height();
    placement::Situation situation;
    if (trayIcon && trayIcon->isValid()) situation.icon = flipped(toRect(*trayIcon), extent);
    if (pointer) situation.pointer = flipped(Point{double(pointer->x()), double(pointer->y())}, extent);
    situation.screen = flipped(toRect(screen->geometry()), extent);
    situation.visible = flipped(toRect(screen->availableGeometry()), extent);
    const QRect frame = frameGeometry();
    situation.panel = {double(frame.width()), double(frame.height())};
    const Point origin = placement::choose(situation);
    // The origin is the frame's bottom-left corner; Qt moves its top-left one.
    move(int(std::lround(origin.x)), int(std::lround(extent - origin.y - frame.height())));
}

void MenuBarPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (bracket_.isUserResize({double(width()), double(height())})) rememberSize();
}

void MenuBarPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && hidesOnEscape_) {
        hide();
        emit closedByUser();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MenuBarPanel::closeEvent(QCloseEvent* event) {
    // Hidden, not destroyed: the tray item opens it again.
    event->accept();
    emit closedByUser();
}

void MenuBarPanel::focusWindowChanged(QWindow* focus) {
    // Followed at the window system's level: the widgets' own activation events can miss a
    // window that is shown again soon after it was hidden, and a hiding window reports its
    // own deactivation while it is still visible.
    QWindow* mine = windowHandle();
    if (!mine || !isVisible() || focus == mine) return;
    for (QWindow* window = focus; window; window = window->transientParent()) {
        if (window == mine) return;  // its own pop-up lists and menus
    }
    emit deactivated();
}

}  // namespace avrane
