// What depends on discovery, run in-process on fake device trees: the shipped tool always
// looks at the machine's own.
#include <gtest/gtest.h>

#include <sstream>

#include "Support/FakeDeviceTree.h"
#include "Subprocess.h"
#include "avranectl/Tool.h"

namespace avrane {
namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class DiscoveryCommandTests : public ::testing::Test {
protected:
    ToolRun run(std::vector<std::string> args) {
        ctl::Environment env;
        env.roots = tree.roots();
        std::ostringstream out, err;
        const int status = ctl::runTool(args, env, out, err);
        return {status, out.str(), err.str()};
    }

    testing::FakeDeviceTree tree;
};

TEST_F(DiscoveryCommandTests, WithoutAUsableDongleABarStillGetsAnObject) {
    EXPECT_EQ(testing::parseJson(run({"--json", "list"}).out).at("dongles"), "[]");
    const auto none = testing::parseJson(run({"status", "--waybar"}).out);
    EXPECT_EQ(none.at("class"), "\"no-dongle\"");
    EXPECT_EQ(none.at("text"), "\"\"");

    tree.addUsbTty("ttyACM0", 0x054C, 0x0E61);
    const std::string why =
        "found an AVRANE dongle in a mode without a serial control channel (AVRANE H9 / H7 "
        "(update mode)). Switch the transceiver's slide switch to PC.";
    const ToolRun status = run({"status"});
    EXPECT_EQ(status.status, 1);
    EXPECT_EQ(status.err, "avranectl: " + why + "\n");
    const ToolRun bar = run({"status", "--waybar"});
    EXPECT_EQ(bar.status, 0);
    EXPECT_EQ(testing::parseJson(bar.out),
              (std::map<std::string, std::string>{{"text", "\"\""},
                                                  {"class", "\"no-dongle\""},
                                                  {"tooltip", "\"No AVRANE dongle\\n" + why + "\""}}));
}

TEST_F(DiscoveryCommandTests, ListsDonglesInEveryKnownMode) {
    tree.addUsbTty("ttyACM0", 0x054C, 0x0E4C);  // console mode, no serial number
    tree.addUsbTty("ttyACM1", 0x054C, 0x0E53, "5C1D");
    tree.addUsbTty("ttyUSB0", 0x0403, 0x6001, "FTDI", testing::FakeDeviceTree::Layout::usbSerial);

    const ToolRun list = run({"list"});
    EXPECT_EQ(list.status, 0);
    const std::string acm0 = tree.devPath("ttyACM0").string();
    const std::string acm1 = tree.devPath("ttyACM1").string();
    EXPECT_EQ(list.out, acm1 + "  AVRANE H9 / H7, serial 5C1D\n" + acm0 +
                            "  AVRANE H9 / H7 (console mode), serial not reported (switch it to PC "
                            "to use it)\n");

    const auto doc = testing::parseJson(run({"--json", "list"}).out);
    EXPECT_EQ(doc.at("dongles.0.devicePath"), "\"" + acm1 + "\"");
    EXPECT_EQ(doc.at("dongles.1.serialNumber"), "null");
    EXPECT_EQ(doc.at("dongles.1.serialControl"), "false");
    EXPECT_EQ(doc.count("dongles.2.devicePath"), 0u);
}

}  // namespace
}  // namespace avrane
