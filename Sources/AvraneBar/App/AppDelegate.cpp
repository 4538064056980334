#include "AvraneBar/App/AppDelegate.h"

#include <unistd.h>

#include <memory>
#include <utility>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPointer>

#include "AvraneBar/App/DiagnosticLog.h"
#include "AvraneBar/Controller/Trace.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "AvraneBar/Service/HeadsetService.h"
#include "AvraneBar/StatusItem/MenuBarController.h"

namespace avrane {
namespace {

// Diagnostics go out one whole line per write, so that lines from threads never mix.
void writeLine(const std::string& line) {
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + written, line.size() - written);
        if (n <= 0) return;
        written += std::size_t(n);
    }
}

Rect rectOf(const QRect& r) { return {double(r.x()), double(r.y()), double(r.width()), double(r.height())}; }

std::string className(const QWidget* widget) {
    const std::string name = widget->metaObject()->className();
    const std::size_t colons = name.rfind("::");
    return colons == std::string::npos ? name : name.substr(colons + 2);
}

diagnostics::ViewContent contentOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return diagnostics::TextContent{label->text().toStdString()};
    const bool enabled = widget->isEnabled();
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(widget)) {
        // Sliders over doubles say so; plain ones count in steps.
        const QVariant value = slider->property("value");
        return diagnostics::ControlContent{enabled, value.typeId() == QMetaType::Double ? value.toDouble() : slider->value()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return diagnostics::ControlContent{enabled, button->isChecked() ? 1.0 : 0.0};
    }
    if (const auto* box = qobject_cast<const QComboBox*>(widget)) return diagnostics::ControlContent{enabled, double(box->currentIndex())};
    return std::monostate{};
}

void dumpTree(const QWidget* widget, int depth, std::string& out) {
    out += diagnostics::layoutLine(depth, className(widget), rectOf(widget->geometry()), widget->isHidden(), contentOf(widget));
    for (const QObject* child : widget->children()) {
        const auto* view = qobject_cast<const QWidget*>(child);
        if (view && !view->isWindow()) dumpTree(view, depth + 1, out);
    }
}

}  // namespace

AppDelegate::AppDelegate(HeadsetController::Options controllerOptions, UpdateChecker::Options updateOptions)
    : updateChecker_(std::move(updateOptions)),
      controller_(std::make_unique<HeadsetController>(withMainThread(std::move(controllerOptions)))),
      service_(std::make_unique<HeadsetService>(*controller_)) {
    updateTimer_.setInterval(updateCheckPeriod);
    service_->setShowPanel([this] {
        if (menuBar_) menuBar_->show();
    });
}

AppDelegate::~AppDelegate() = default;

HeadsetController::Options AppDelegate::withMainThread(HeadsetController::Options options) {
    if (!options.runOnMainThread) {
        options.runOnMainThread = [](std::function<void()> work) {
            QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
        };
    }
    return options;
}

void AppDelegate::applicationDidFinishLaunching() {
    // The tray icon comes first, as it is what the user looks for: the panel's views take
    // longer to make than the whole icon, so they are made when the panel first opens.
    content_ = new PanelViewController(*controller_, updateChecker_, nullptr, PanelViewController::Build::whenFirstShown);
    menuBar_ = std::make_unique<MenuBarController>(content_);
    controller_->setOnChange([self = QPointer(this)](const HeadsetSnapshot& snapshot) {
        if (self) self->render(snapshot);
    });
    applyDockPreference();
    NotificationCenter::defaultCenter().observe(MenuBarPreferences::didChange, this, [this] {
        applyDockPreference();
        alert(controller_->snapshot());  // alerts turned off take the one shown away
    });
    updateChecker_.setOnChange([self = QPointer(this)](const UpdateChecker::State& state) {
        if (!self) return;
        self->content_->renderUpdate(state);
        // Each new ready state opens its package once: the checker reports a state once.
        if (const auto* ready = std::get_if<UpdateChecker::ReadyToInstall>(&state); ready && !ready->file.isEmpty()) {
            QDesktopServices::openUrl(ready->file);
        }
    });
    // The first check waits for the panel opened at launch: the helper it starts would take a
    // core the panel's views are made on.
    if (!opensPanelAtLaunch_) updateChecker_.checkIfDue();
    connect(&updateTimer_, &QTimer::timeout, this, [this] { updateChecker_.checkIfDue(); });
    updateTimer_.start();
    controller_->start();
    render(controller_->snapshot());
    if (opensPanelAtLaunch_) openPanelAfterIcon();
    if (qgetenv(layoutDumpVariable) == "1") QTimer::singleShot(layoutDumpDelay, this, [this] { dumpLayout(); });
}

void AppDelegate::openPanelAfterIcon() {
    // The panel goes under the icon or is a window of its own: it waits a moment for the
    // desktop to say whether it has a tray, as a window placed first stays where the window
    // manager put it (KWin's corner) when it turns into the drop-down.
    if (menuBar_->trayIsKnown()) {
        openPanelOnceTrayIsKnown();
        return;
    }
    const auto opened = std::make_shared<bool>(false);
    const auto open = [this, opened] {
        if (std::exchange(*opened, true)) return;
        openPanelOnceTrayIsKnown();
    };
    connect(menuBar_.get(), &MenuBarController::trayKnown, this, open, Qt::SingleShotConnection);
    QTimer::singleShot(iconWaitAtLaunch, this, open);
}

void AppDelegate::openPanelOnceTrayIsKnown() {
    // Once an XEmbed tray has painted the icon (its picture is on the screen before the panel's
    // views are made), or after a moment without the paint. A StatusNotifierItem host, or a
    // tray still to come, draws the icon in its own process whenever it reads it: the panel
    // opens at once there, as the drop-down or as a window, with its views made now (made as
    // it first shows, they delayed that showing enough for sway to leave the drop-down
    // unplaced beside a bar at the bottom, now and then).
    panelAtLaunch_.setSingleShot(true);
    if (menuBar_->trayKind() != TrayKind::xembed || !menuBar_->hasTray()) {
        content_->makeViews();
        QTimer::singleShot(0, this, [this] {
            menuBar_->show();
            updateChecker_.checkIfDue();
        });
        return;
    }
    const QMetaObject::Connection drawn = connect(menuBar_.get(), &MenuBarController::iconRedrawn, this, [this] {
        if (panelAtLaunch_.isActive()) panelAtLaunch_.start(0);
    }, Qt::QueuedConnection);
    connect(&panelAtLaunch_, &QTimer::timeout, this, [this, drawn] {
        disconnect(drawn);
        menuBar_->show();
        updateChecker_.checkIfDue();
    });
    panelAtLaunch_.start(iconWaitAtLaunch);
}

void AppDelegate::render(const HeadsetSnapshot& snapshot) {
    log(snapshot);
    service_->publish(snapshot);
    alert(snapshot);
    if (!menuBar_) return;
    menuBar_->render(snapshot);
    // A hidden panel is brought up to date when it opens.
    if (menuBar_->panel()->isVisible()) content_->render(snapshot);
}

void AppDelegate::applyDockPreference() {
    if (menuBar_) menuBar_->setTaskbarEntryWanted(MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, false));
}

void AppDelegate::alert(const HeadsetSnapshot& snapshot) {
    const auto action = alerts_.update(snapshot, MenuBarPreferences::flag(MenuBarPreferences::lowBatteryAlerts, true));
    if (const auto* show = std::get_if<LowBatteryAlerts::Show>(&action)) {
        notifier_.show(show->title, show->body,
                       show->level == LowBatteryAlerts::Level::critical ? DesktopNotifier::Urgency::critical
                                                                       : DesktopNotifier::Urgency::normal);
    } else if (std::holds_alternative<LowBatteryAlerts::Withdraw>(action)) {
        notifier_.withdraw();
    }
}

void AppDelegate::log(const HeadsetSnapshot& snapshot) const {
    if (Trace::isOnInEnvironment()) writeLine(diagnostics::snapshotLine(std::chrono::system_clock::now(), snapshot));
}

std::string AppDelegate::layoutDump() const {
    if (!menuBar_) return {};
    // A panel not opened yet (started at login) has its views made for the dump.
    content_->makeViews();
    // From the content's first view, which holds the rest; nothing at all without one.
    const QWidget* first = nullptr;
    for (const QObject* child : content_->children()) {
        const auto* view = qobject_cast<const QWidget*>(child);
        if (view && !view->isWindow()) {
            first = view;
            break;
        }
    }
    if (!first) return {};
    const MenuBarPanel* panel = menuBar_->panel();
    std::string out = diagnostics::layoutHeader(rectOf(panel->frameGeometry()), panel->isVisible(),
                                                rectOf(panel->lastButtonFrame()));
    dumpTree(first, 0, out);
    return out;
}

void AppDelegate::dumpLayout() const {
    if (!Trace::isOnInEnvironment()) return;
    const std::string dump = layoutDump();
    std::size_t start = 0;
    while (start < dump.size()) {
        const std::size_t end = dump.find('\n', start);
        writeLine(dump.substr(start, end - start + 1));
        start = end + 1;
    }
}

}  // namespace avrane
