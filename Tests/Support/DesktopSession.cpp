#include "Support/DesktopSession.h"

#include <atomic>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QJsonObject>

#include "Support/X11Display.h"

namespace avrane::testing {

QProcessEnvironment childEnvironment(std::initializer_list<const DesktopPart*> parts) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORM",
                             "QT_QPA_PLATFORMTHEME", "DBUS_SESSION_BUS_ADDRESS"})
        environment.remove(QString::fromLatin1(name));
    for (const DesktopPart* part : parts) part->addTo(environment);
    return environment;
}

bool writeConfiguration(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt()};
}

std::optional<QVariant> busProperty(const QDBusConnection& bus, const QString& service, const QString& path,
                                    const QString& interface, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

SessionBus::SessionBus() {
    static std::atomic<int> count{0};
    connectionName_ = QStringLiteral("avrane-test-session-%1").arg(++count);
    QFile config(directory_.filePath(QStringLiteral("bus.conf")));
    if (!directory_.isValid() || !config.open(QIODevice::WriteOnly)) {
        process_.fail(QStringLiteral("dbus-daemon: cannot write its configuration in %1").arg(directory_.path()));
        return;
    }
    // No <servicedir>: a name nobody owns stays unowned instead of starting a real service.
    config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:path=%1/bus</listen>"
                                "<auth>EXTERNAL</auth><policy context=\"default\">"
                                "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                "<allow own=\"*\"/></policy></busconfig>\n")
                     .arg(directory_.path())
                     .toUtf8());
    config.close();
    if (!process_.start(QStringLiteral("dbus-daemon"),
                        {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                         QStringLiteral("--print-address=1")},
                        childEnvironment({}), QStringLiteral("dbus-daemon")))
        return;
    if (const auto line = process_.waitForLine(QStringLiteral("unix:"))) address_ = line->trimmed();
}

SessionBus::~SessionBus() {
    if (QDBusConnection(connectionName_).isConnected()) QDBusConnection::disconnectFromBus(connectionName_);
    process_.stop();  // before its folder goes
}

QDBusConnection SessionBus::connection() const { return QDBusConnection::connectToBus(address_, connectionName_); }

void SessionBus::addTo(QProcessEnvironment& environment) const {
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
}

XvfbDisplay::XvfbDisplay(QSize size, Reset reset) : size_(size) {
    // -displayfd: Xvfb takes the first free number and prints it once it accepts connections.
    QStringList arguments{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp")};
    if (reset == Reset::never) arguments << QStringLiteral("-noreset");
    if (!process_.start(QStringLiteral("Xvfb"), arguments, childEnvironment({}), QStringLiteral("xvfb"))) return;
    const auto number = process_.waitForLine(QString());
    if (!number) return;
    name_ = QLatin1Char(':') + number->trimmed();
    process_.waitFor([this] { return X11Display(name_).connected(); }, QStringLiteral("answering on ") + name_);
}

void XvfbDisplay::addTo(QProcessEnvironment& environment) const {
    environment.insert(QStringLiteral("DISPLAY"), name_);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
}

Trayer::Trayer(const XvfbDisplay& display) {
    if (!display.started()) {
        process_.fail(QStringLiteral("trayer: no X display to run on"));
        return;
    }
    QProcessEnvironment environment = childEnvironment({&display});
    // Without a session bus GTK would try to start one for its accessibility bridge.
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    if (!process_.start(QStringLiteral("trayer"),
                        {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                         QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--heighttype"),
                         QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("24"),
                         QStringLiteral("--SetDockType"), QStringLiteral("false"), QStringLiteral("--SetPartialStrut"),
                         QStringLiteral("false"), QStringLiteral("--transparent"), QStringLiteral("false")},
                        environment, QStringLiteral("trayer")))
        return;
    const X11Display x11(display.name());
    process_.waitFor([&] { return x11.selectionOwner("_NET_SYSTEM_TRAY_S0").has_value(); },
                     QStringLiteral("owning _NET_SYSTEM_TRAY_S0"));
}

static bool accepts(const QString& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    if (size_t(path.size()) >= sizeof address.sun_path) return false;
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return connected;
}

WestonCompositor::WestonCompositor(const XvfbDisplay& shownOn, QSize size) {
    const QString config = runtimeDirectory_.filePath(QStringLiteral("weston.ini"));
    if (!shownOn.started()) {
        process_.fail(QStringLiteral("weston: no X display to show it on"));
        return;
    }
    // Nothing of weston's own to click on by mistake (the panel's terminal launcher, the
    // on-screen keyboard), no lock screen after five idle minutes, a plain background, and no
    // animations, so that what a screenshot shows is settled.
    if (!runtimeDirectory_.isValid() ||
        !QFile::setPermissions(runtimeDirectory_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !writeConfiguration(config, "[core]\nidle-time=0\n"
                                    "[shell]\npanel-position=none\nlocking=false\nbackground-image=\nbackground-color=0xff303030\n"
                                    "startup-animation=none\nanimation=none\nclose-animation=none\nfocus-animation=none\n"
                                    "[input-method]\npath=\n")) {
        process_.fail(QStringLiteral("weston: cannot make a private runtime folder"));
        return;
    }
    QProcessEnvironment environment = childEnvironment({&shownOn});
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory_.path());
    if (!process_.start(QStringLiteral("weston"),
                        {QStringLiteral("--backend=x11-backend.so"), QStringLiteral("--use-pixman"),
                         QStringLiteral("--width=%1").arg(size.width()), QStringLiteral("--height=%1").arg(size.height()),
                         QStringLiteral("--socket=") + QLatin1String(socketName), QStringLiteral("--config=") + config},
                        environment, QStringLiteral("weston")))
        return;
    const QString socket = QDir(runtimeDirectory_.path()).filePath(QLatin1String(socketName));
    process_.waitFor([&] { return accepts(socket); }, QStringLiteral("accepting clients on ") + socket);
}

WestonCompositor::~WestonCompositor() { process_.stop(); }  // before its runtime folder goes

void WestonCompositor::addTo(QProcessEnvironment& environment) const {
    environment.remove(QStringLiteral("DISPLAY"));  // Qt must not fall back to X11
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QLatin1String(socketName));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory_.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
}

}  // namespace avrane::testing
