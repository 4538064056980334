#include "Support/PlasmaSession.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>

#include "Support/X11Display.h"

namespace avrane::testing {
namespace {

// One panel holding a spacer and the System Tray, whose own plasmoids (clipboard, keyboard
// layout, notifications ...) are all known and none is enabled; and the desktop beneath.
QByteArray layout(PlasmaDesktop::Edge edge) {
    const char* location = edge == PlasmaDesktop::Edge::top ? "3" : "4";  // Plasma::Types::Location
    return QByteArray(
               "[Containments][1]\nformfactor=2\nimmutability=1\nlastScreen=0\nlocation=%1\nplugin=org.kde.panel\n"
               "wallpaperplugin=org.kde.image\n\n"
               "[Containments][1][Applets][2]\nimmutability=1\nplugin=org.kde.plasma.panelspacer\n\n"
               "[Containments][1][Applets][3]\nimmutability=1\nplugin=org.kde.plasma.systemtray\n\n"
               "[Containments][1][Applets][3][Configuration]\nSystrayContainmentId=4\n\n"
               "[Containments][1][General]\nAppletOrder=2;3\n\n"
               "[Containments][4]\nformfactor=2\nimmutability=1\nlastScreen=0\nlocation=%1\n"
               "plugin=org.kde.plasma.private.systemtray\nwallpaperplugin=org.kde.image\n\n"
               "[Containments][4][General]\nextraItems=org.kde.avranebar.none\n"
               "knownItems=org.kde.plasma.battery,org.kde.plasma.keyboardlayout,org.kde.plasma.manage-inputmethod,"
               "org.kde.plasma.mediacontroller,org.kde.plasma.devicenotifier,org.kde.plasma.clipboard,"
               "org.kde.plasma.notifications,org.kde.plasma.networkmanagement,org.kde.plasma.volume,"
               "org.kde.plasma.bluetooth,org.kde.kscreen,org.kde.plasma.printmanager,org.kde.plasma.vault,"
               "org.kde.plasma.nightcolorcontrol,org.kde.kdeconnect\n")
        .replace("%1", location);
}

// The activity manager lives in a folder named after the machine's architecture.
QString activityManager() {
    for (const QString& lib : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString candidate = QStringLiteral("/usr/lib/%1/libexec/kactivitymanagerd").arg(lib);
        if (QFile::exists(candidate)) return candidate;
    }
    return QStringLiteral("kactivitymanagerd");
}

bool ownerStartsWith(const QDBusConnection& bus, const QString& prefix) {
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    if (!names.isValid()) return false;
    for (const QString& name : names.value()) {
        if (name.startsWith(prefix)) return true;
    }
    return false;
}

}  // namespace

PlasmaDesktop::PlasmaDesktop(const XvfbDisplay& display, const SessionBus& bus, const QString& configHome, Edge edge,
                             Colours colours)
    : display_(display), bus_(bus), configHome_(configHome), edge_(edge) {
    if (!display.started() || !bus.started() || !QDir().mkpath(configHome)) {
        process_.fail(QStringLiteral("plasmashell: no X display, session bus or configuration folder"));
        return;
    }
    const QDir config(configHome);
    if (!writeConfiguration(config.filePath(QStringLiteral("plasma-org.kde.plasma.desktop-appletsrc")), layout(edge)) ||
        !writeConfiguration(config.filePath(QStringLiteral("plasmashellrc")),
                            QStringLiteral("[PlasmaViews][Panel 1][Defaults]\nthickness=%1\n").arg(panelThickness).toUtf8()) ||
        // No compositing: no window shadows over the panel, and less work for two cores.
        !writeConfiguration(config.filePath(QStringLiteral("kwinrc")), "[Compositing]\nEnabled=false\n") ||
        !writeConfiguration(config.filePath(QStringLiteral("plasmarc")),
                            colours == Colours::breezeDark ? "[Theme]\nname=breeze-dark\n" : "[Theme]\nname=default\n")) {
        process_.fail(QStringLiteral("plasmashell: cannot write its settings"));
        return;
    }

    environment_ = childEnvironment({&display, &bus});
    addTo(environment_);
    environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment_.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    if (colours == Colours::breezeDark) {
        QProcess apply;
        apply.setProcessEnvironment(environment_);
        apply.start(QStringLiteral("plasma-apply-colorscheme"), {QStringLiteral("BreezeDark")});
        if (!apply.waitForFinished(20000) || apply.exitCode() != 0) {
            process_.fail(QStringLiteral("plasma-apply-colorscheme BreezeDark failed: ") + QString::fromLocal8Bit(apply.readAll()));
            return;
        }
    }
    // The bus of a test starts no services: each daemon is started here, in the order a
    // Plasma session has them.
    const QDBusConnection connection = bus.connection();
    const auto started = [this](ChildProcess& part, const QString& program, const QString& name) {
        if (part.start(program, {}, environment_, QStringLiteral("plasma-workspace and kwin-x11")) &&
            part.waitFor([&] { return bus_.connection().interface()->isServiceRegistered(name).value(); },
                         QStringLiteral("owning ") + name, std::chrono::seconds(30)))
            return true;
        process_.fail(QStringLiteral("%1: %2").arg(program, QString::fromStdString(part.started().message())));
        return false;
    };
    if (!started(kwin_, QStringLiteral("kwin_x11"), QStringLiteral("org.kde.KWin")) ||
        !started(activities_, activityManager(), QStringLiteral("org.kde.ActivityManager")) ||
        !started(kded_, QStringLiteral("kded5"), QStringLiteral("org.kde.kded5")))
        return;
    // kded5 loads the watcher at a session's second phase, which only ksmserver starts.
    const QDBusMessage load = connection.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.kded5"), QStringLiteral("/kded"), QStringLiteral("org.kde.kded5"), QStringLiteral("loadModule"))
        << QStringLiteral("statusnotifierwatcher"));
    if (load.type() != QDBusMessage::ReplyMessage || !load.arguments().value(0).toBool()) {
        process_.fail(QStringLiteral("kded5 did not load its StatusNotifierWatcher: ") + load.errorMessage());
        return;
    }
    xembedProxy_.start(QStringLiteral("xembedsniproxy"), {}, environment_, QStringLiteral("plasma-workspace"));
    startShell();
}

PlasmaDesktop::~PlasmaDesktop() { process_.stop(); }

bool PlasmaDesktop::startShell() {
    if (!process_.start(QStringLiteral("plasmashell"), {QStringLiteral("--no-respawn")}, environment_,
                        QStringLiteral("plasma-workspace and plasma-desktop")))
        return false;
    // Up in 4-5 s when idle. Its tray's host is there once its name is; the panel once KWin has
    // set its strut aside.
    const X11Display x11(display_.name());
    const QDBusConnection bus = bus_.connection();
    return process_.waitFor([&] {
        const auto area = x11.workArea();
        return ownerStartsWith(bus, QStringLiteral("org.kde.StatusNotifierHost-")) && area &&
               area->height() == display_.size().height() - panelThickness;
    }, QStringLiteral("showing its panel"), std::chrono::seconds(60));
}

void PlasmaDesktop::addTo(QProcessEnvironment& environment) const {
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
}

QRect PlasmaDesktop::panelArea() const {
    const QSize screen = display_.size();
    return edge_ == Edge::top ? QRect(0, 0, screen.width(), panelThickness)
                              : QRect(0, screen.height() - panelThickness, screen.width(), panelThickness);
}

}  // namespace avrane::testing
