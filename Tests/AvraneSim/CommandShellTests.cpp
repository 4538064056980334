#include "AvraneSim/CommandShell.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <mutex>

namespace avrane::sim {
namespace {

class CommandShellTests : public ::testing::Test {
protected:
    std::vector<std::string> lines() {
        const std::lock_guard lock(mutex);
        return printed;
    }

    Simulator sim;
    std::mutex mutex;  // tracing prints from the simulator's thread
    std::vector<std::string> printed;
    CommandShell shell{sim, [this](const std::string& line) {
                           const std::lock_guard lock(mutex);
                           printed.push_back(line);
                       }};
};

TEST_F(CommandShellTests, HeadsetCommandsChangeTheModel) {
    for (const char* line : {"battery 35", "charging on", "volume 30", "mute on", "anc ambientSound",
                             "ambient 20", "poweroff after5Minutes", "led off", "btlink pairing",
                             "# a comment", ""}) {
        EXPECT_TRUE(shell.execute(line)) << line;
    }
    const auto m = sim.model();
    EXPECT_EQ(m.battery, (BatteryInfo{.statusCode = 1, .percent = 35}));
    EXPECT_EQ(m.headphoneVolume, (HeadphoneVolume{true, 30, 100}));
    EXPECT_EQ(m.ambient.mode, NoiseCancellingMode::ambientSound);
    EXPECT_EQ(m.ambient.ambientLevel, 20);
    EXPECT_EQ(m.autoPowerOff, AutoPowerOff::after5Minutes);
    EXPECT_FALSE(m.led.isOn);
    EXPECT_EQ(m.bluetooth.link, BluetoothStatus::Link::pairing);
    EXPECT_TRUE(lines().empty());
}

TEST_F(CommandShellTests, FaultCommandsSetTheSwitches) {
    for (const char* line : {"headset off", "silent batteryInfo 0x21", "malformed ledSetting 02 ff",
                             "bulk off", "delay 0.25", "late on", "noise on", "split on 3"}) {
        shell.execute(line);
    }
    auto f = sim.faults();
    EXPECT_TRUE(f.headsetOff);
    EXPECT_EQ(f.silentItems, (std::set<EventID>{EventID::batteryInfo, EventID::headphoneVolume}));
    EXPECT_EQ(f.malformedReplies.at(EventID::ledSetting), (Bytes{0x02, 0xFF}));
    EXPECT_TRUE(f.bulkUnsupported);
    EXPECT_EQ(f.replyDelay, 0.25);
    EXPECT_TRUE(f.lateReplyFirst);
    EXPECT_FALSE(f.noise.empty());
    EXPECT_TRUE(f.byteAtATime);
    EXPECT_DOUBLE_EQ(f.byteGap, 0.003);

    shell.execute("clear");
    EXPECT_EQ(sim.faults(), Faults{});
}

TEST_F(CommandShellTests, BadInputIsReportedWithTheUsage) {
    shell.execute("battery 101");
    shell.execute("anc loud");
    shell.execute("silent nothing");
    shell.execute("frobnicate");
    const auto out = lines();
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], "error: expected a number from 0 to 100, got \"101\" (usage: battery <0-100>)");
    EXPECT_NE(out[1].find("expected one of off, noiseCancelling, ambientSound"), std::string::npos);
    EXPECT_NE(out[2].find("no such item \"nothing\""), std::string::npos);
    EXPECT_EQ(out[3], "unknown command \"frobnicate\"; type help for the list");
    EXPECT_EQ(sim.model(), HeadsetModel{});
}

TEST_F(CommandShellTests, HelpListsEveryCommandAndQuitEndsTheSession) {
    shell.add({"lively", "on|off", "a scenario", [](const CommandShell::Arguments&) {}});
    const auto help = shell.helpText();
    for (const char* name : {"battery", "silent", "unplug", "replug", "quit", "lively"}) {
        EXPECT_NE(help.find("  " + std::string(name) + " "), std::string::npos) << name;
    }
    EXPECT_FALSE(shell.execute("quit"));
    EXPECT_TRUE(shell.execute("show"));
}

TEST(SimulatorLinkTests, LinkFollowsTheDeviceAcrossUnplugAndReplug) {
    const auto link = std::filesystem::temp_directory_path() /
                      ("avrane-sim-link-" + std::to_string(::getpid()));
    Simulator::Options options;
    options.linkPath = link;
    Simulator sim(options);
    sim.start();
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.slavePath());
    sim.hangUp();
    EXPECT_FALSE(sim.isPluggedIn());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    sim.replug();
    EXPECT_TRUE(sim.isPluggedIn());
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.slavePath());
    sim.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace avrane::sim
