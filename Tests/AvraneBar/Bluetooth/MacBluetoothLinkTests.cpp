#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QEventLoop>

#include <atomic>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"
#include "Support/DesktopSession.h"

namespace avrane {
namespace {

// bluetoothd's object tree, answering GetManagedObjects on "/" with objects in the order
// given (each with one interface), with an answer of the wrong shape, or never.
class FakeBluez : public QDBusVirtualObject {
public:
    enum class Mode { answer, wrongSignature, silent };
    struct Object {
        QString path, interface;
        QVariantMap properties;
    };

    explicit FakeBluez(const QString& address)
        : bus_(QDBusConnection::connectToBus(address, QStringLiteral("fake-bluez"))) {
        qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
        serving_ = bus_.registerVirtualObject(QStringLiteral("/"), this) && setNameOwned(true);
    }
    bool serving() const { return serving_; }
    bool setNameOwned(bool owned) {
        return owned ? bus_.registerService(QStringLiteral("org.bluez"))
                     : bus_.unregisterService(QStringLiteral("org.bluez"));
    }

    std::vector<Object> objects;
    std::atomic<Mode> mode{Mode::answer};

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("GetManagedObjects") || mode == Mode::silent) return true;
        if (mode == Mode::wrongSignature) return connection.send(message.createReply(QStringLiteral("no tree")));
        QDBusArgument tree;
        tree.beginMap(QMetaType::fromType<QDBusObjectPath>(), QMetaType::fromType<QMap<QString, QVariantMap>>());
        for (const Object& object : objects) {
            tree.beginMapEntry();
            tree << QDBusObjectPath(object.path) << QMap<QString, QVariantMap>{{object.interface, object.properties}};
            tree.endMapEntry();
        }
        tree.endMap();
        return connection.send(message.createReply(QVariant::fromValue(tree)));
    }

private:
    QDBusConnection bus_;
    bool serving_ = false;
};

FakeBluez* bluez = nullptr;                // set up by main
MacBluetoothLink beforeApplicationObject;  // main asked before there was one

// On a thread of its own while this (Qt's main) thread runs its event loop, as the
// controller's queue asks.
MacBluetoothLink lookUpFromAnotherThread() {
    MacBluetoothLink result;
    QEventLoop loop;
    std::thread worker([&] {
        result = MacBluetoothLink::current();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return result;
}

FakeBluez::Object device(const char* path, QVariantMap properties) {
    return {QString::fromLatin1(path), QStringLiteral("org.bluez.Device1"), std::move(properties)};
}

TEST(MacBluetoothLinkTests, ReadsPairedDevicesFromBluezInTheirOrder) {
    const QVariant yes(true), no(false);
    bluez->objects = {  // out of path order: the answer's order is the system's
        {"/org/bluez/hci0", "org.bluez.Adapter1", {{"Name", "AVRANE-laptop"}}},
        device("/org/bluez/hci0/dev_CC", {{"Name", "AVRANE H9"}, {"Paired", yes}, {"Connected", no}}),
        device("/org/bluez/hci0/dev_AA", {{"Name", "Avrane H7"}, {"Paired", yes}, {"Connected", no}}),
    };
    EXPECT_EQ(lookUpFromAnotherThread(), (MacBluetoothLink{.isPaired = true, .isConnected = false, .name = "AVRANE H9"}));

    bluez->objects = {
        device("/org/bluez/hci0/dev_AA", {{"Name", "AVRANE seen"}, {"Paired", no}, {"Connected", yes}}),
        device("/org/bluez/hci0/dev_BB", {{"Name", "AVRANE odd"}, {"Paired", "yes"}, {"Connected", yes}}),
        device("/org/bluez/hci0/dev_CC", {{"Alias", "my avrane headset"}, {"Paired", yes}, {"Connected", yes}}),
    };
    EXPECT_EQ(lookUpFromAnotherThread(),
              (MacBluetoothLink{.isPaired = true, .isConnected = true, .name = "my avrane headset"}));
}

TEST(MacBluetoothLinkTests, AnyFailureGivesTheEmptyValue) {
    EXPECT_EQ(beforeApplicationObject, MacBluetoothLink{});
    bluez->objects = {device("/org/bluez/hci0/dev_AA", {{"Name", "AVRANE H9"}, {"Paired", true}})};
    ASSERT_TRUE(lookUpFromAnotherThread().isPaired);
    for (const auto mode : {FakeBluez::Mode::wrongSignature, FakeBluez::Mode::silent}) {
        bluez->mode = mode;  // silent: ended by the one-second limit
        EXPECT_EQ(lookUpFromAnotherThread(), MacBluetoothLink{});
    }
    bluez->mode = FakeBluez::Mode::answer;
    ASSERT_TRUE(bluez->setNameOwned(false));  // bluetoothd not running
    EXPECT_EQ(lookUpFromAnotherThread(), MacBluetoothLink{});
    ASSERT_TRUE(bluez->setNameOwned(true));
}

}  // namespace
}  // namespace avrane

// A dbus-daemon of our own stands in for the system bus: QtDBus reads the address when the
// system bus is first asked for, which nothing has done before.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    avrane::beforeApplicationObject = avrane::MacBluetoothLink::current();
    QCoreApplication app(argc, argv);
    avrane::testing::SessionBus systemBus;
    if (!systemBus.started()) {
        fprintf(stderr, "no private bus: %s\n", systemBus.started().message());
        return 1;
    }
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address().toUtf8().constData(), 1);
    avrane::FakeBluez bluez(systemBus.address());
    if (!bluez.serving()) {
        fprintf(stderr, "cannot serve org.bluez on the private bus\n");
        return 1;
    }
    avrane::bluez = &bluez;
    return RUN_ALL_TESTS();
}
