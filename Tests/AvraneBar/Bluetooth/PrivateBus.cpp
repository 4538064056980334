#include "PrivateBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFile>

namespace avrane::testing {

PrivateBus::PrivateBus() {
    const QString config = directory_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig>\n"
                   "  <type>session</type>\n"
                   "  <listen>unix:path=%1/bus</listen>\n"
                   "  <auth>EXTERNAL</auth>\n"
                   "  <policy context=\"default\">\n"
                   "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                   "    <allow eavesdrop=\"true\"/>\n"
                   "    <allow own=\"*\"/>\n"
                   "  </policy>\n"
                   "</busconfig>\n")
                   .arg(directory_.path())
                   .toUtf8());
    file.close();

    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(5000)) return;
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    daemon_.terminate();
    daemon_.waitForFinished(5000);
}

FakeBluez::FakeBluez(const QString& address)
    : connection_(QDBusConnection::connectToBus(address, QStringLiteral("fake-bluez"))) {
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    serving_ = connection_.isConnected() &&
               connection_.registerVirtualObject(QStringLiteral("/"), this) &&
               connection_.registerService(QStringLiteral("org.bluez"));
}

FakeBluez::~FakeBluez() {
    connection_.unregisterObject(QStringLiteral("/"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-bluez"));
}

void FakeBluez::setNameOwned(bool owned) {
    if (owned) {
        connection_.registerService(QStringLiteral("org.bluez"));
    } else {
        connection_.unregisterService(QStringLiteral("org.bluez"));
    }
}

QString FakeBluez::introspect(const QString&) const { return {}; }

bool FakeBluez::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.member() != QLatin1String("GetManagedObjects")) return false;
    switch (mode_.load()) {
        case Mode::silent: return true;  // a hung bluetoothd: the call is never answered
        case Mode::wrongSignature:
            connection.send(message.createReply(QStringLiteral("not an object tree")));
            return true;
        case Mode::answer: break;
    }
    // Built by hand so that the objects keep their order.
    QDBusArgument tree;
    tree.beginMap(QMetaType::fromType<QDBusObjectPath>(), QMetaType::fromType<QMap<QString, QVariantMap>>());
    for (const Object& object : objects_) {
        tree.beginMapEntry();
        tree << QDBusObjectPath(object.path);
        tree.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QVariantMap>());
        tree.beginMapEntry();
        tree << object.interface << object.properties;
        tree.endMapEntry();
        tree.endMap();
        tree.endMapEntry();
    }
    tree.endMap();
    connection.send(message.createReply(QVariant::fromValue(tree)));
    return true;
}

}  // namespace avrane::testing
