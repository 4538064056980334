#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <cstdlib>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"
#include "PrivateBus.h"

namespace avrane {
namespace {

using Device = MacBluetoothLink::Device;
using testing::FakeBluez;

// Set up by main before any test: the private bus stands in for the system bus.
FakeBluez* bluez = nullptr;

TEST(MacBluetoothLinkTests, ChoosesTheConnectedHeadsetElseTheFirst) {
    const MacBluetoothLink none;
    const struct {
        const char* name;
        std::vector<Device> devices;
        MacBluetoothLink expected;
    } rows[] = {
        {"nothing paired", {}, none},
        {"one match among others",
         {{"Office Speaker", false}, {"Avrane H9", false}},
         {.isPaired = true, .isConnected = false, .name = "Avrane H9"}},
        {"the connected match wins",
         {{"AVRANE H9", false}, {"avrane h7", true}},
         {.isPaired = true, .isConnected = true, .name = "avrane h7"}},
        {"else the first match", {{"AVRANE one", false}, {"AVRANE two", false}},
         {.isPaired = true, .isConnected = false, .name = "AVRANE one"}},
        {"the word anywhere", {{"my avrane headset", false}},
         {.isPaired = true, .isConnected = false, .name = "my avrane headset"}},
        {"not split", {{"AVRA NE", true}}, none},
        {"nameless devices never match", {{std::nullopt, true}, {"Avrane", false}},
         {.isPaired = true, .isConnected = false, .name = "Avrane"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MacBluetoothLink::choose(row.devices), row.expected) << row.name;
    }
}

// Runs the lookup on a thread of its own while this (Qt's main) thread runs its event loop,
// as the controller's queue does it.
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
    const auto b = [](bool value) { return QVariant(value); };
    // Listed out of path order: the answer's order is the system's.
    bluez->setObjects({
        {"/org/bluez/hci0", "org.bluez.Adapter1", {{"Name", "AVRANE-laptop"}, {"Powered", b(true)}}},
        device("/org/bluez/hci0/dev_CC", {{"Name", "Office Speaker"}, {"Paired", b(true)}, {"Connected", b(true)}}),
        device("/org/bluez/hci0/dev_BB", {{"Name", "AVRANE H9"}, {"Paired", b(true)}, {"Connected", b(false)}}),
        device("/org/bluez/hci0/dev_AA", {{"Name", "Avrane H7"}, {"Paired", b(true)}, {"Connected", b(false)}}),
    });
    EXPECT_EQ(lookUpFromAnotherThread(),
              (MacBluetoothLink{.isPaired = true, .isConnected = false, .name = "AVRANE H9"}));

    bluez->setObjects({
        device("/org/bluez/hci0/dev_AA", {{"Name", "AVRANE seen"}, {"Paired", b(false)}, {"Connected", b(true)}}),
        device("/org/bluez/hci0/dev_BB", {{"Name", "AVRANE odd"}, {"Paired", "yes"}, {"Connected", b(true)}}),
        device("/org/bluez/hci0/dev_CC", {{"Alias", "my avrane headset"}, {"Paired", b(true)}, {"Connected", b(true)}}),
    });
    EXPECT_EQ(lookUpFromAnotherThread(),
              (MacBluetoothLink{.isPaired = true, .isConnected = true, .name = "my avrane headset"}));
}

TEST(MacBluetoothLinkTests, AnyFailureGivesTheEmptyValue) {
    bluez->setObjects({device("/org/bluez/hci0/dev_AA",
                              {{"Name", "AVRANE H9"}, {"Paired", QVariant(true)}})});
    ASSERT_TRUE(lookUpFromAnotherThread().isPaired);

    bluez->setMode(FakeBluez::Mode::wrongSignature);
    EXPECT_EQ(lookUpFromAnotherThread(), MacBluetoothLink{});
    bluez->setMode(FakeBluez::Mode::silent);  // answered by the one-second limit
    EXPECT_EQ(lookUpFromAnotherThread(), MacBluetoothLink{});
    bluez->setMode(FakeBluez::Mode::answer);
    bluez->setNameOwned(false);  // bluetoothd not running
    EXPECT_EQ(lookUpFromAnotherThread(), MacBluetoothLink{});
    bluez->setNameOwned(true);
    EXPECT_TRUE(lookUpFromAnotherThread().isPaired);
}

}  // namespace
}  // namespace avrane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    avrane::testing::PrivateBus bus;
    if (bus.address().isEmpty()) {
        fprintf(stderr, "cannot start dbus-daemon for a private bus\n");
        return 1;
    }
    // Read by QtDBus when the system bus is first asked for, which no code has done yet.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().toUtf8().constData(), 1);
    auto bluez = std::make_unique<avrane::testing::FakeBluez>(bus.address());
    if (!bluez->isServing()) {
        fprintf(stderr, "cannot serve org.bluez on the private bus\n");
        return 1;
    }
    avrane::bluez = bluez.get();
    const int result = RUN_ALL_TESTS();
    avrane::bluez = nullptr;
    return result;
}
