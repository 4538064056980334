#include "Support/GnomeShellSession.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Support/TrayWatch.h"

namespace avrane::testing {
namespace {

const QString probeService = QStringLiteral("io.github.avranebar.ShellProbe");
const QString probeUuid = QStringLiteral("shell-probe@tests.avranebar.github.io");

bool copyFolder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to)) return false;
    for (const QString& name : QDir(from).entryList(QDir::Files)) {
        if (!QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name))) return false;
    }
    return true;
}

::testing::AssertionResult answered(const QDBusMessage& reply, const char* what) {
    if (reply.type() == QDBusMessage::ReplyMessage) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << what << ": " << reply.errorMessage().toStdString();
}

}  // namespace

GnomeShell::GnomeShell(const SessionBus& bus) : bus_(bus.connection()) {
    const QDir home(home_.path());
    if (!bus.started() || !home_.isValid() || !home.mkpath("run") || !home.mkpath("config/glib-2.0/settings") ||
        !QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !copyFolder(QStringLiteral(AVRANE_SHELL_PROBE), home.filePath("data/gnome-shell/extensions/" + probeUuid))) {
        process_.fail(QStringLiteral("gnome-shell: no session bus, or no private folders for it"));
        return;
    }
    // No animations (a start took 16 s with them under load), and no notification banners
    // over the top bar (GNOME warns of a session run as root).
    if (!writeConfiguration(home.filePath("config/glib-2.0/settings/keyfile"),
                            QStringLiteral("[org/gnome/shell]\nenabled-extensions=['%1', '%2']\n"
                                           "[org/gnome/desktop/interface]\nenable-animations=false\n"
                                           "[org/gnome/desktop/notifications]\nshow-banners=false\n")
                                .arg(appIndicatorExtension, probeUuid)
                                .toUtf8())) {
        process_.fail(QStringLiteral("gnome-shell: cannot write its settings"));
        return;
    }
    if (!systemBus_.started()) {
        process_.fail(QStringLiteral("gnome-shell: no system bus: ") + QString::fromStdString(systemBus_.started().message()));
        return;
    }

    QProcessEnvironment environment = childEnvironment({&bus});
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath("run"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath("config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath("data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath("cache"));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus_.address());
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--wayland"), QStringLiteral("--virtual-monitor"),
                          QStringLiteral("%1x%2").arg(monitorSize.width()).arg(monitorSize.height())};
    if (!process_.start(QStringLiteral("gnome-shell"), arguments, environment, QStringLiteral("gnome-shell"))) return;
    // Up in 2-3 s when idle; much longer beside other tests on two cores.
    const TrayWatch tray(bus_);
    if (!process_.waitFor([&] {
            if (!bus_.interface()->isServiceRegistered(probeService)) return false;
            const QDBusMessage ready = probe(QStringLiteral("Ready"));
            return ready.type() == QDBusMessage::ReplyMessage && ready.arguments().value(0).toBool() &&
                   tray.hostRegistered();
        }, QStringLiteral("showing its desktop"), std::chrono::seconds(60)))
        return;
    x11Display_ = probe(QStringLiteral("Environment"), {QStringLiteral("DISPLAY")}).arguments().value(0).toString();
    xauthority_ = probe(QStringLiteral("Environment"), {QStringLiteral("XAUTHORITY")}).arguments().value(0).toString();
    if (x11Display_.isEmpty()) process_.fail(QStringLiteral("started no XWayland"));
}

GnomeShell::~GnomeShell() { process_.stop(); }  // before its folders and its system bus go

void GnomeShell::addTo(QProcessEnvironment& environment) const {
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir(home_.path()).filePath("run"));
    if (!x11Display_.isEmpty()) {
        environment.insert(QStringLiteral("DISPLAY"), x11Display_);
        environment.insert(QStringLiteral("XAUTHORITY"), xauthority_);
    }
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
}

QDBusMessage GnomeShell::probe(const QString& method, const QVariantList& arguments) const {
    QDBusMessage call = QDBusMessage::createMethodCall(probeService, QStringLiteral("/io/github/avranebar/ShellProbe"),
                                                       probeService, method);
    call.setArguments(arguments);
    return bus_.call(call, QDBus::Block, 10000);
}

QImage GnomeShell::screenshot() const {
    const QString file = QDir(home_.path()).filePath(QStringLiteral("screen.png"));
    const QDBusMessage reply = probe(QStringLiteral("Screenshot"), {file});
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).toBool()) return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

std::optional<GnomeShell::TopBar> GnomeShell::topBar() const {
    const QDBusMessage reply = probe(QStringLiteral("TopBar"));
    if (reply.type() != QDBusMessage::ReplyMessage) return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).object();
    TopBar bar{rectOf(object.value("bar")), {}};
    for (const QJsonValue item : object.value("items").toArray()) {
        const QJsonObject i = item.toObject();
        bar.items.push_back({i.value("id").toString(), i.value("visible").toBool(), rectOf(i.value("icon")),
                             i.value("hover").toBool()});
    }
    return bar;
}

std::vector<GnomeShell::MenuEntry> GnomeShell::openMenu() const {
    std::vector<MenuEntry> entries;
    const QDBusMessage reply = probe(QStringLiteral("OpenMenu"));
    for (const QJsonValue entry : QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).array()) {
        const QJsonObject e = entry.toObject();
        entries.push_back({e.value("label").toString(), rectOf(e.value("rect"))});
    }
    return entries;
}

std::vector<GnomeShell::Window> GnomeShell::windows() const {
    std::vector<Window> found;
    const QDBusMessage reply = probe(QStringLiteral("Windows"));
    for (const QJsonValue window : QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).array()) {
        const QJsonObject w = window.toObject();
        found.push_back({w.value("title").toString(), w.value("x11").toBool(),
                         w.value("decorated").toBool(), w.value("focused").toBool(), w.value("skipTaskbar").toBool(),
                         w.value("minimized").toBool(), rectOf(w.value("frame"))});
    }
    return found;
}

std::optional<GnomeShell::Window> GnomeShell::window(const QString& title) const {
    for (const Window& window : windows()) {
        if (window.title == title) return window;
    }
    return std::nullopt;
}

::testing::AssertionResult GnomeShell::movePointer(QPoint to) const {
    return answered(probe(QStringLiteral("MovePointer"), {to.x(), to.y()}), "moving the pointer");
}

::testing::AssertionResult GnomeShell::click(QPoint at, int button, int count) const {
    return answered(probe(QStringLiteral("Click"), {at.x(), at.y(), uint(button), uint(count)}), "clicking");
}

::testing::AssertionResult GnomeShell::pressKey(quint32 keysym) const {
    return answered(probe(QStringLiteral("PressKey"), {uint(keysym)}), "pressing a key");
}

::testing::AssertionResult GnomeShell::setAppIndicatorEnabled(bool enabled) const {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                                       QStringLiteral("org.gnome.Shell.Extensions"),
                                                       enabled ? QStringLiteral("EnableExtension") : QStringLiteral("DisableExtension"));
    call << appIndicatorExtension;
    return answered(bus_.call(call, QDBus::Block, 10000), "switching the AppIndicator extension");
}

}  // namespace avrane::testing
