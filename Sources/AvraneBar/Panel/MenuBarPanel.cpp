#include "AvraneBar/Panel/MenuBarPanel.h"

#include <algorithm>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include "AvraneBar/Panel/EdgeResize.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneBar/Panel/SwayWindows.h"
#include "AvraneBar/Panel/WaylandSession.h"

namespace avrane {
namespace {

Rect toRect(const QRect& r) { return {double(r.x()), double(r.y()), double(r.width()), double(r.height())}; }

QMargins frameMarginsOf(const QWidget& window) {
    const QRect frame = window.frameGeometry(), inside = window.geometry();
    return {inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
            frame.bottom() - inside.bottom()};
}

bool compositorPlacesWindows() { return wayland::compositorPlacesWindows(QGuiApplication::platformName()); }

// Whether an X11 window manager runs (it names its check window on the root).
bool x11WindowManagerRuns() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t* connection = x11->connection();
    static const char name[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    const xcb_atom_t check = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(atom);
    if (check == XCB_ATOM_NONE) return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool runs = reply && xcb_get_property_value_length(reply) == 4;
    free(reply);
    return runs;
}

}  // namespace

MenuBarPanel::MenuBarPanel(PanelViewController* content, UserDefaults defaults)
    : content_(content), defaults_(std::move(defaults)), edgeResize_(new EdgeResize(this)) {
    setWindowFlags(flags());
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
    if (compositorPlacesWindows()) {
        if (const QString socket = SwayWindows::socketPath(); !socket.isEmpty()) {
            const auto place = [this](const sway::Areas& areas) { return swayPlace(areas.screen, areas.visible); };
            sway_ = new SwayWindows(socket, place, this);
        }
    }
}

Qt::WindowFlags MenuBarPanel::flags() const {
    // A tool window stays out of the taskbar and the window switcher; a normal one is in both.
    const Qt::WindowFlags kind = taskbarEntry_ ? Qt::Window : Qt::Tool;
    // Wayland compositors draw no title bar over a drop-down (GNOME's would be Qt's own, with
    // buttons to minimise and maximise it).
    if (dropDown_ && wayland::isWaylandSession(QGuiApplication::platformName()))
        return kind | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint;
    return kind | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
}

void MenuBarPanel::applyFlags() {
    if (flags() == windowFlags()) return;
    const bool visible = isVisible();
    const QPoint where = pos();
    // Changing the flags takes the window down; put it back where it was.
    setWindowFlags(flags());
    if (visible) {
        move(where);
        show();
        activateWindow();
        holdSizeUntilMapped();
    }
}

void MenuBarPanel::setKind(bool taskbarEntry, bool dropDown) {
    taskbarEntry_ = taskbarEntry;
    dropDown_ = dropDown;
    applyFlags();
}

void MenuBarPanel::holdSizeUntilMapped() {
    QWindow* window = windowHandle();
    if (!compositorPlacesWindows() || !dropDown_ || !window) return;
    // The widget's own limits stay as the content set them; only the window's are held.
    window->setMinimumSize(size());
    window->setMaximumSize(size());
    holdingSize_ = true;
}

void MenuBarPanel::setVisible(bool visible) {
    // Content whose views are not made yet has them made before the window takes its size
    // from them, which it does before any show event.
    if (visible) content_->makeViews();
    QWidget::setVisible(visible);
}

void MenuBarPanel::showEvent(QShowEvent* event) {
    // The installed icon, for the taskbar entry on X11 (Wayland finds it through the desktop
    // file; a tool window has no entry); none when the program runs uninstalled. Looked up
    // when first needed: reading the icon theme is a good part of a launch.
    if (taskbarEntry_ && !iconLookedUp_) {
        iconLookedUp_ = true;
        setWindowIcon(QIcon::fromTheme(QGuiApplication::desktopFileName()));
    }
    // Each show may come with a new QWindow (after a change of flags).
    if (QWindow* window = windowHandle()) {
        window->installEventFilter(this);
        if (windowFlags() & Qt::FramelessWindowHint) {
            window->installEventFilter(edgeResize_);
        } else {
            window->removeEventFilter(edgeResize_);
        }
    }
    QWidget::showEvent(event);
}

bool MenuBarPanel::eventFilter(QObject* watched, QEvent* event) {
    const bool exposed = watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed();
    // The compositor has the window once it is first exposed: the buffer drawn for that goes
    // out with the held limits, and the content's own come back after it.
    if (holdingSize_ && exposed) {
        holdingSize_ = false;
        QTimer::singleShot(0, this, [this] {
            if (QWindow* window = windowHandle()) {
                window->setMinimumSize(minimumSize());
                window->setMaximumSize(maximumSize());
            }
        });
    }
    return QWidget::eventFilter(watched, event);
}

std::optional<QPoint> MenuBarPanel::swayPlace(const QRect& screen, const QRect& visible) const {
    // An ordinary window is left to sway's tiling.
    if (!isVisible() || !dropDown_) return std::nullopt;
    // The rules count y upwards; sway's layout counts it downwards from the top of its
    // topmost output, as Qt does.
    const double extent = screen.y() + screen.height();
    placement::Situation situation;
    situation.screen = flipped(toRect(screen), extent);
    situation.visible = flipped(toRect(visible), extent);
    situation.panel = {double(width()), double(height())};
    const Point origin = placement::choose(situation);
    return QPoint(int(std::lround(origin.x)), int(std::lround(extent - origin.y - height())));
}

QRect MenuBarPanel::freeArea() const {
    if (sway_) {
        if (const auto areas = sway_->areasNow()) return areas->visible;
    }
    const QScreen* screen = this->screen();
    return screen ? screen->availableGeometry() : QRect();
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

QMargins MenuBarPanel::frameMargins() const {
    const QMargins known = frameMarginsOf(*this);
    if (!known.isNull() || (windowFlags() & Qt::FramelessWindowHint) || !x11WindowManagerRuns()) return known;
    return {0, unknownTitleBar, 0, 0};
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
    const QMargins margins = frameMargins(), known = frameMarginsOf(*this);
    const QRect frame = geometry().marginsAdded(margins);
    situation.panel = {double(frame.width()), double(frame.height())};
    const Point origin = placement::choose(situation);
    // The origin is the frame's bottom-left corner; Qt moves its top-left one, or the window's
    // own while it knows no frame.
    const QPoint unknownToQt(margins.left() - known.left(), margins.top() - known.top());
    move(QPoint(int(std::lround(origin.x)), int(std::lround(extent - origin.y - frame.height()))) + unknownToQt);
}

void MenuBarPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A tiling Wayland compositor sizes an ordinary window as it likes, without saying so:
    // only the drop-down's size there is the user's.
    const bool byUser = bracket_.isUserResize({double(width()), double(height())});
    if (byUser && (dropDown_ || !compositorPlacesWindows())) rememberSize();
}

void MenuBarPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && dropDown_) {
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
