#include "AvraneKit/Discovery/DeviceDiscovery.h"

#include <gtest/gtest.h>

#include "Support/FakeDeviceTree.h"

namespace avrane {
namespace {

using testing::FakeDeviceTree;
using Layout = FakeDeviceTree::Layout;

constexpr std::int64_t sonyVendor = 0x054C;

std::vector<std::string> paths(const std::vector<DiscoveredDongle>& dongles) {
    std::vector<std::string> result;
    for (const auto& d : dongles) result.push_back(std::filesystem::path(d.devicePath).filename());
    return result;
}

// One machine with a bit of everything, walked in name order.
class DiscoveryTreeTests : public ::testing::Test {
protected:
    void SetUp() override {
        tree.addUsbTty("ttyUSB0", sonyVendor, 0x0E53, std::nullopt, Layout::usbSerial);
        tree.addUsbTty("ttyACM1", sonyVendor, 0x0E4C);  // console mode
        tree.addUsbTty("ttyACM0", sonyVendor, 0x0E53, "A0B1C2");
        tree.addUsbTty("ttyACM2", sonyVendor, 0x0E53, "gone", Layout::cdcAcm, 0, false);
        tree.addUsbTty("ttyACM3", 0x2341, 0x0043);  // somebody's microcontroller board
        tree.addVirtualTty("tty1");  // no device link at all
    }

    FakeDeviceTree tree;
};

TEST_F(DiscoveryTreeTests, FindsDonglesOfTheGivenModelsInNameOrder) {
    const auto found = DeviceDiscovery::findDongles(DongleModel::serialControlled, tree.roots());
    ASSERT_EQ(paths(found), (std::vector<std::string>{"ttyACM0", "ttyUSB0"}));
    EXPECT_EQ(found[0], (DiscoveredDongle{DongleModel::h9, tree.devPath("ttyACM0"), "A0B1C2"}));
    EXPECT_EQ(found[1].model, DongleModel::h9);
    EXPECT_EQ(found[1].serialNumber, std::nullopt);
}

TEST_F(DiscoveryTreeTests, DongleInAnotherModeIsOnlyFoundAsUncontrollable) {
    const auto other = DeviceDiscovery::findUncontrollableDongles(tree.roots());
    ASSERT_EQ(paths(other), std::vector<std::string>{"ttyACM1"});
    EXPECT_EQ(other[0].model, DongleModel::h9ConsoleMode);
}

TEST_F(DiscoveryTreeTests, ModelListDecidesWhatIsReported) {
    EXPECT_TRUE(DeviceDiscovery::findDongles({}, tree.roots()).empty());

    // The same identity twice still gives one entry per device, with the first model.
    const DongleModel renamed{sonyVendor, 0x0E53, "first"};
    const std::vector<DongleModel> twice{renamed, DongleModel::h9};
    const auto found = DeviceDiscovery::findDongles(twice, tree.roots());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].model, renamed);
    EXPECT_EQ(found[1].model, renamed);
}

TEST(DiscoveryDepthTests, UsbDeviceMustBeWithinElevenAncestors) {
    struct Case {
        Layout layout;
        int extraLevels;
        bool found;
    };
    // cdc-acm: the USB device is the interface's parent, ancestor 1 + extraLevels;
    // usb-serial: one further up.
    for (const Case c : {Case{Layout::cdcAcm, 10, true}, Case{Layout::cdcAcm, 11, false},
                         Case{Layout::usbSerial, 9, true}, Case{Layout::usbSerial, 10, false}}) {
        FakeDeviceTree tree;
        tree.addUsbTty("ttyACM0", sonyVendor, 0x0E53, std::nullopt, c.layout, c.extraLevels);
        EXPECT_EQ(DeviceDiscovery::findDongles(DongleModel::serialControlled, tree.roots()).size(),
                  c.found ? 1u : 0u)
            << "extra levels " << c.extraLevels;
    }
}

TEST(HexAttributeTests, ParsesSysfsIdText) {
    using DeviceDiscovery::detail::parseHexAttribute;
    const std::pair<std::string_view, std::optional<std::int64_t>> cases[] = {
        {"054c\n", 0x054C}, {"ffffffff", 0xFFFFFFFF}, {"\n", std::nullopt},
        {"0x54c", std::nullopt}, {"-1", std::nullopt}, {"123456789", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseHexAttribute(text), expected) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace avrane
