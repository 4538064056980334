#include "Support/FakeDeviceTree.h"
#include "SimulatedHeadset.h"

namespace avrane {
namespace {

using testing::errorOf;
using testing::FakeDeviceTree;

class ConnectTests : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }

    sim::Simulator sim;
    FakeDeviceTree tree;
};

TEST_F(ConnectTests, NoDongleNamesTheOnesInOtherModes) {
    using Failure = HeadsetClient::Failure;
    const auto none = errorOf<Failure>([&] { HeadsetClient::connect("", tree.roots()); });
    EXPECT_EQ(none.kind(), Failure::Kind::noDongleFound);
    EXPECT_EQ(none.description(), "no AVRANE dongle found (is the USB transceiver plugged in?)");

    tree.addUsbTty("ttyACM0", 0x054C, 0x0E4C);
    tree.addUsbTty("ttyACM1", 0x054C, 0x0E61);
    const auto two = errorOf<Failure>([&] { HeadsetClient::connect("", tree.roots()); });
    EXPECT_EQ(two.otherModes().size(), 2u);
    EXPECT_NE(two.description().find("(console mode), AVRANE H9 / H7 (update mode))"), std::string::npos);
}

// The discovered device is the simulator's pty: connecting asks for the dongle's line
// settings, which a pty refuses at the modem lines.
TEST_F(ConnectTests, DiscoveredDongleIsOpenedWithTheDonglesLineSettings) {
    tree.addUsbTty("ttyACM0", 0x054C, 0x0E53, "S1");
    tree.linkDevNode("ttyACM0", sim.slavePath());
    const auto failure = errorOf<SerialPort::Failure>([&] { HeadsetClient::connect("", tree.roots()); });
    EXPECT_EQ(failure.description(),
              "cannot configure port (asserting RTS/DTR): Inappropriate ioctl for device");
}

}  // namespace
}  // namespace avrane
