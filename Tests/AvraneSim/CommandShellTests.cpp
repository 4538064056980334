#include "AvraneSim/CommandShell.h"

#include <unistd.h>

#include <filesystem>
#include <gtest/gtest.h>

#include "AvraneKit/Client/HeadsetClient.h"

namespace avrane::sim {
namespace {

TEST(CommandShellTests, CommandsChangeTheHeadsetAndTheFaults) {
    Simulator sim;
    std::vector<std::string> printed;
    CommandShell shell(sim, [&](const std::string& line) { printed.push_back(line); });
    for (const char* line : {"battery 35", "volume 30", "anc ambientSound", "# comment", "",
                             "silent batteryInfo 0x21", "malformed ledSetting 02 ff", "split on 3"}) {
        EXPECT_TRUE(shell.execute(line)) << line;
    }
    EXPECT_TRUE(printed.empty());
    const auto m = sim.model();
    EXPECT_EQ(m.battery.percent, 35);
    EXPECT_EQ(m.headphoneVolume, (HeadphoneVolume{false, 30, 100}));
    EXPECT_EQ(m.ambient.mode, NoiseCancellingMode::ambientSound);
    const auto f = sim.faults();
    EXPECT_EQ(f.silentItems, (std::set<EventID>{EventID::batteryInfo, EventID::headphoneVolume}));
    EXPECT_EQ(f.malformedReplies.at(EventID::ledSetting), (Bytes{0x02, 0xFF}));
    EXPECT_DOUBLE_EQ(f.byteGap, 0.003);

    // Bad input changes nothing and says why, with the usage.
    shell.execute("clear");
    shell.execute("battery 101");
    shell.execute("anc loud");
    shell.execute("frobnicate");
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_NE(printed[0].find("(usage: battery <0-100>)"), std::string::npos);
    EXPECT_NE(printed[1].find("expected one of off, noiseCancelling, ambientSound"), std::string::npos);
    EXPECT_EQ(sim.model(), m);
    EXPECT_EQ(sim.faults(), Faults{});

    shell.add({"lively", "on|off", "a scenario", [](const CommandShell::Arguments&) {}});
    EXPECT_NE(shell.helpText().find("  lively on|off "), std::string::npos);
    EXPECT_FALSE(shell.execute("quit"));
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
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    sim.replug();
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.slavePath());
    sim.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// The log tells a write the headset stored from one it did not take, whatever the reply said.
TEST(SimulatorRequestLogTests, SetsSayWhetherTheHeadsetStoredThem) {
    Simulator sim;
    sim.start();
    HeadsetClient client(DiscoveredDongle{DongleModel::h9, sim.slavePath(), "SIM"},
                         std::make_unique<SerialPort>(sim.slavePath(), false));
    client.open();
    client.replyTimeout = 0.2;
    client.retryCount = 1;

    client.setLEDSetting(LEDSetting{false});
    client.exchange(EventID::micVolume, EventType::set, {0, 5, 16});  // read-only: answered, not stored
    client.exchange(EventID::ledSetting, EventType::set, {});         // does not decode
    sim.updateFaults([](Faults& f) { f.malformedReplies[EventID::sidetoneVolume] = {}; });
    client.setSidetoneVolume(SidetoneVolume{.level = 7, .reportedPercent = 70});  // stored, reply garbled
    sim.updateFaults([](Faults& f) { f.silentItems = {EventID::autoPowerOffSetting}; });
    EXPECT_THROW(client.setAutoPowerOff(AutoPowerOff::off), HeadsetClient::Failure);
    sim.updateFaults([](Faults& f) { f.headsetOff = true; });
    EXPECT_THROW(client.setHeadphoneVolume(HeadphoneVolume{false, 3, 10}), HeadsetClient::Failure);

    std::vector<std::pair<EventID, bool>> log;
    for (const ReceivedRequest& r : sim.requests()) log.emplace_back(r.packet.eventID, r.accepted);
    EXPECT_EQ(log, (std::vector<std::pair<EventID, bool>>{{EventID::ledSetting, true},
                                                          {EventID::micVolume, false},
                                                          {EventID::ledSetting, false},
                                                          {EventID::sidetoneVolume, true},
                                                          {EventID::autoPowerOffSetting, false},
                                                          {EventID::headphoneVolume, false}}));
    EXPECT_EQ(sim.model().sidetoneVolume.level, 7);
    EXPECT_FALSE(sim.model().led.isOn);
    EXPECT_EQ(sim.model().headphoneVolume.level, 15);
}

}  // namespace
}  // namespace avrane::sim
