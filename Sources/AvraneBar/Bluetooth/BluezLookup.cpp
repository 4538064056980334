// MacBluetoothLink::current() on Linux: BlueZ's object tree on the system bus.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <optional>
#include <vector>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"

namespace avrane {
namespace {

using Device = MacBluetoothLink::Device;

// GetManagedObjects answers with object path -> interface -> property -> value.
constexpr auto managedObjectsSignature = "a{oa{sa{sv}}}";
constexpr auto deviceInterface = "org.bluez.Device1";

bool flag(const QVariantMap& properties, const char* key) {
    const QVariant value = properties.value(QString::fromLatin1(key));
    return value.typeId() == QMetaType::Bool && value.toBool();
}

std::optional<std::string> text(const QVariantMap& properties, const char* key) {
    const QVariant value = properties.value(QString::fromLatin1(key));
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString().toStdString();
}

// The paired devices in the order the answer lists them (a map in Qt would sort them by
// path, which is not the system's order).
std::vector<Device> pairedDevices(const QDBusArgument& objects) {
    std::vector<Device> devices;
    objects.beginMap();
    while (!objects.atEnd()) {
        objects.beginMapEntry();
        QDBusObjectPath path;
        objects >> path;
        objects.beginMap();
        while (!objects.atEnd()) {
            QString interface;
            QVariantMap properties;
            objects.beginMapEntry();
            objects >> interface >> properties;
            objects.endMapEntry();
            if (interface != QLatin1String(deviceInterface) || !flag(properties, "Paired")) continue;
            auto name = text(properties, "Name");
            if (!name) name = text(properties, "Alias");
            devices.push_back(Device{std::move(name), flag(properties, "Connected")});
        }
        objects.endMap();
        objects.endMapEntry();
    }
    objects.endMap();
    return devices;
}

}  // namespace

MacBluetoothLink MacBluetoothLink::current() {
    // QtDBus needs the application object; without one there is nothing to ask with.
    if (!QCoreApplication::instance()) return {};
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return {};

    const QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.bluez"), QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"));
    // A blocking call is valid from any thread; the bound keeps a hung bluetoothd from
    // stalling the headset link, whose queue this runs on.
    const QDBusMessage reply = bus.call(request, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage ||
        reply.signature() != QLatin1String(managedObjectsSignature) || reply.arguments().isEmpty()) {
        return {};
    }
    const QVariant objects = reply.arguments().constFirst();
    if (!objects.canConvert<QDBusArgument>()) return {};
    return choose(pairedDevices(objects.value<QDBusArgument>()));
}

}  // namespace avrane
