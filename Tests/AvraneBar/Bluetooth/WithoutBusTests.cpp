#include <QCoreApplication>

#include <cstdlib>

#include <gtest/gtest.h>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"

namespace avrane {
namespace {

// In this order: the system bus connection, once made, is kept for the process.
TEST(MacBluetoothLinkWithoutBusTests, NoApplicationObjectOrNoSystemBusGivesTheEmptyValue) {
    EXPECT_EQ(MacBluetoothLink::current(), MacBluetoothLink{});

    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/avrane-test-bus", 1);
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(MacBluetoothLink::current(), MacBluetoothLink{});
}

}  // namespace
}  // namespace avrane
