// The controller stepped by hand: one pump step at a time on its queue, time from a manual
// clock, the real client over a pty to the simulated headset.
#include <algorithm>

#include "ControllerHarness.h"

namespace avrane {
namespace {

using Kind = HeadsetSnapshot::Availability::Kind;
using testing::ManualClock;

constexpr std::string_view noDongleText = "no AVRANE dongle found (is the USB transceiver plugged in?)";

TimePoint at(double seconds) { return later(ManualClock::start, seconds); }

class HeadsetControllerTests : public testing::ControllerHarness {
protected:
    // Connects and reads everything at `seconds`.
    void connectAt(double seconds) {
        clock.set(seconds);
        controller().refresh();
        controller().waitUntilIdle();
        ASSERT_EQ(controller().snapshot().availability.kind(), Kind::connected);
        newlyPublished();
    }
    const HeadsetSnapshot& last() { return published().back(); }
};

// Attempts at once, then 4, 8, 16, 30, 30 s apart; one publication for identical failures.
// A successful connect resets the delay, so after the dongle vanishes (found by the presence
// check) the attempts are 2 s after the drop and 4 s after that.
TEST_F(HeadsetControllerTests, ConnectBacksOffAndResetsTheDelayAfterASuccess) {
    setDongles({});
    const HeadsetSnapshot fresh = controller().snapshot();
    EXPECT_EQ(fresh.availability.kind(), Kind::noDongle);
    EXPECT_EQ(fresh.availability.text(), "Looking for dongle\xE2\x80\xA6");
    EXPECT_EQ(fresh.macBluetooth, MacBluetoothLink{});
    EXPECT_FALSE(fresh.dongleName || fresh.batteryPercent || fresh.volume || fresh.led);

    std::vector<int> attempts;
    for (int t = 0; t <= 160; ++t) {
        if (t == 130) setDongles({simDongle()});
        if (t == 150) setDongles({});
        const int before = connects();
        step(t);
        if (connects() > before) attempts.push_back(t);
    }
    EXPECT_EQ(attempts, (std::vector<int>{0, 4, 12, 28, 58, 88, 118, 148, 152, 156}));

    const auto& snapshots = published();
    ASSERT_EQ(snapshots.size(), 3u);
    EXPECT_EQ(snapshots[0].availability, HeadsetSnapshot::Availability::noDongle(std::string(noDongleText)));
    EXPECT_FALSE(snapshots[0].batteryLevelChangedAt);  // absent before and after
    EXPECT_EQ(snapshots[1].availability.kind(), Kind::connected);  // full sync in the same step
    EXPECT_EQ(snapshots[1].batteryLevelChangedAt, at(148));
    // The sync at 148 checked presence; the check at 150 dropped the client, silently; the
    // failed attempt at 152 was published.
    const HeadsetSnapshot& lost = snapshots[2];
    EXPECT_EQ(lost.availability.text(), noDongleText);
    EXPECT_EQ(lost.dongleName, "AVRANE H9 / H7");
    EXPECT_FALSE(lost.batteryPercent || lost.volume || lost.model || lost.ambient);
    EXPECT_EQ(lost.batteryLevelChangedAt, at(152));
}

TEST_F(HeadsetControllerTests, PresenceCheckDropsADongleThatIsNoLongerFirst) {
    connectAt(0);
    step(1);
    EXPECT_EQ(discoveries(), 1);  // the first step with a client checks at once
    const DiscoveredDongle other{DongleModel::h9, "/nonexistent/ttyACM9", "OTHER"};
    setDongles({other, simDongle()});
    step(2.9);
    step(3);  // 2 s after the last check: dropped silently, now backing off
    EXPECT_EQ(discoveries(), 2);
    EXPECT_EQ(newlyPublished(), 0u);
    step(4.9);
    EXPECT_EQ(connects(), 1);
    step(5);  // 2 s after the drop: the new first dongle is tried
    EXPECT_EQ(connects(), 2);
    EXPECT_EQ(last().availability,
              HeadsetSnapshot::Availability::noDongle(
                  "cannot open /nonexistent/ttyACM9: No such file or directory"));
}

TEST_F(HeadsetControllerTests, ForcedPortIsNeverCheckedForPresence) {
    controller([this](HeadsetController::Options& options) {
        options.connect = [this] {
            auto client = std::make_unique<HeadsetClient>(sim.slavePath());
            client->open();
            return client;
        };
    });
    setDongles({});
    connectAt(0);
    for (const double t : {3.0, 6.0, 9.0}) step(t);
    EXPECT_EQ(discoveries(), 0);
    EXPECT_EQ(newlyPublished(), 0u);
    EXPECT_EQ(controller().snapshot().dongleName, "virtual port");
}

// The sync queued at start connects, and the connect makes the next step sync again; the
// model is read again while it keeps failing; identical syncs publish nothing.
TEST_F(HeadsetControllerTests, FullSyncRightAfterConnectAndEveryMinute) {
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::modelInfo}; });
    sim.setModel([&] {
        auto model = sim.model();
        model.battery.statusCode = 7;  // no known status: not charging
        return model;
    }());
    connectAt(0);
    HeadsetSnapshot first = published().back();
    EXPECT_EQ(first.dongleName, "AVRANE H9 / H7");
    EXPECT_FALSE(first.model);
    EXPECT_EQ(first.firmware, sim.model().firmware);
    EXPECT_EQ(first.batteryPercent, 80);
    EXPECT_EQ(first.batteryCharging, false);
    EXPECT_EQ(first.batteryLevelChangedAt, at(0));
    EXPECT_EQ(first.volume, sim.model().headphoneVolume);
    EXPECT_EQ(first.micMuted, false);
    EXPECT_EQ(first.ambient, sim.model().ambient);
    EXPECT_EQ(first.bluetoothStartupMode, BluetoothStartupMode::lastState);
    EXPECT_EQ(first.ncStartupMode, NoiseCancellingStartupMode::modeAtPowerOff);

    const auto bulkReads = [this] {
        const auto log = sim.requests();
        return std::count_if(log.begin(), log.end(), [](const sim::ReceivedRequest& r) {
            return r.packet.eventID == EventID::allFunctionSettingsPart1;
        });
    };
    EXPECT_EQ(bulkReads(), 1);
    sim.setFaults({});
    step(5);
    EXPECT_EQ(bulkReads(), 2);
    ASSERT_EQ(newlyPublished(), 1u);
    EXPECT_EQ(last().model, sim.model().modelInfo);
    EXPECT_EQ(last().batteryLevelChangedAt, at(0));

    step(20);
    EXPECT_EQ(bulkReads(), 2);
    step(65);
    EXPECT_EQ(bulkReads(), 3);
    EXPECT_EQ(newlyPublished(), 0u);
    EXPECT_EQ(connects(), 1);
}

TEST_F(HeadsetControllerTests, BatteryPollPatchesTheBatteryAndAFailureKeepsTheClient) {
    connectAt(0);
    step(1);  // the second sync that follows a connect: polls are due from 31 on
    auto model = sim.model();
    model.battery.percent = 79;
    sim.setModel(model);  // no announcement: only the poll sees it
    step(31);
    EXPECT_EQ(sim.requests().back().packet.eventID, EventID::batteryInfo);
    ASSERT_EQ(newlyPublished(), 1u);
    EXPECT_EQ(last().batteryPercent, 79);
    EXPECT_EQ(last().batteryLevelChangedAt, at(31));
    EXPECT_EQ(last().availability.kind(), Kind::connected);

    step(61);  // the full sync is due, not the poll
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::batteryInfo}; });
    step(91);
    ASSERT_EQ(newlyPublished(), 1u);
    EXPECT_EQ(last().availability,
              HeadsetSnapshot::Availability::headsetUnreachable(
                  "no reply to batteryInfo (the headset may be off or out of range)"));
    EXPECT_EQ(last().dongleName, "AVRANE H9 / H7");
    EXPECT_FALSE(last().volume);
    EXPECT_EQ(last().batteryLevelChangedAt, at(91));

    sim.setFaults({});
    step(121);
    EXPECT_EQ(last().availability.kind(), Kind::connected);
    EXPECT_EQ(connects(), 1);
}

// Notifications of a written event are its echo for one second from the write's start;
// other events are not quieted, and a second write moves the deadline.
TEST_F(HeadsetControllerTests, WriteEchoesAreSuppressedForOneSecond) {
    connectAt(0);
    const auto volumeTo = [this](std::uint8_t level) {
        headsetChanges(EventID::headphoneVolume,
                       [=](sim::HeadsetModel& m) { m.headphoneVolume.level = level; });
    };
    const auto writeVolume = [this](std::uint8_t level) {
        controller().apply({EventID::headphoneVolume}, [=](HeadsetClient& client) {
            client.setHeadphoneVolume({.isMuted = false, .level = level, .reportedPercent = 50});
        });
        controller().waitUntilIdle();
    };
    const auto shownVolume = [this] { return controller().snapshot().volume->level; };

    clock.set(10);
    writeVolume(20);
    EXPECT_EQ(shownVolume(), 20);  // from the sync after the write
    clock.set(10.3);
    volumeTo(25);
    controller().runPumpStep();
    EXPECT_EQ(shownVolume(), 20);
    step(11.5);  // nothing yet: the deadline entry stays until a notification finds it
    volumeTo(26);
    controller().runPumpStep();
    EXPECT_EQ(shownVolume(), 26);

    // The echo of the write's own set, then the two announcements: one line each.
    const auto lines = traceLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "2024-05-01T09:30:10Z  NTFY receiver->pc  headphoneVolume  [00 14 32]  "
                        "(suppressed: our own write)\n");
    EXPECT_EQ(lines[1], "2024-05-01T09:30:10Z  NTFY receiver->pc  headphoneVolume  [00 19 32]  "
                        "(suppressed: our own write)\n");
    EXPECT_EQ(lines[2], "2024-05-01T09:30:11Z  NTFY receiver->pc  headphoneVolume  [00 1A 32]\n");

    clock.set(20);
    controller().apply({EventID::ledSetting},
                       [](HeadsetClient& client) { client.setLEDSetting({.isOn = false}); });
    controller().waitUntilIdle();
    clock.set(20.3);
    volumeTo(27);
    controller().runPumpStep();
    EXPECT_EQ(shownVolume(), 27);
    EXPECT_EQ(controller().snapshot().led, LEDSetting{false});

    clock.set(30);
    writeVolume(10);
    clock.set(30.8);
    writeVolume(11);
    clock.set(31.5);
    volumeTo(12);
    controller().runPumpStep();
    EXPECT_EQ(shownVolume(), 11);
    clock.set(31.9);
    volumeTo(13);
    controller().runPumpStep();
    EXPECT_EQ(shownVolume(), 13);
}

// Each notification patches its own field; the battery time stamp moves with the percent
// only; events the snapshot does not follow, and unreadable battery payloads, change nothing.
TEST_F(HeadsetControllerTests, NotificationsPatchTheSnapshotInOrder) {
    connectAt(0);
    clock.set(5);
    for (const std::uint8_t percent : {79, 78, 77}) {
        sim.change(EventID::batteryInfo, [=](sim::HeadsetModel& m) { m.battery.percent = percent; });
    }
    ASSERT_TRUE(sim.waitUntilSent());
    for (int i = 0; i < 3 && published().size() < 4; ++i) controller().runPumpStep();
    ASSERT_EQ(newlyPublished(), 3u);
    const auto& snapshots = published();
    EXPECT_EQ(snapshots[1].batteryPercent, 79);
    EXPECT_EQ(snapshots[2].batteryPercent, 78);
    EXPECT_EQ(snapshots[3].batteryPercent, 77);
    EXPECT_EQ(snapshots[3].batteryLevelChangedAt, at(5));

    clock.set(6);
    sim.announce(EventID::batteryInfo);  // the same percent and status again
    headsetChanges(EventID::btStatus, [](sim::HeadsetModel& m) {
        m.bluetooth.link = BluetoothStatus::Link::connected;
    });
    sim.send(Packet{.type = PacketType::event, .source = Address::receiver,
                    .destination = Address::pc, .eventID = EventID::batteryInfo,
                    .eventType = EventType::ntfy, .transactionID = 0, .param = {}});
    ASSERT_TRUE(sim.waitUntilSent());
    for (int i = 0; i < 3 && traceLines().size() < 6; ++i) controller().runPumpStep();
    EXPECT_EQ(traceLines().size(), 6u);  // still traced, one line each
    EXPECT_EQ(newlyPublished(), 0u);

    clock.set(7);
    headsetChanges(EventID::batteryInfo, [](sim::HeadsetModel& m) { m.battery.statusCode = 1; });
    headsetChanges(EventID::micVolume, [](sim::HeadsetModel& m) { m.microphoneVolume.isMuted = true; });
    for (int i = 0; i < 3 && traceLines().size() < 8; ++i) controller().runPumpStep();
    ASSERT_EQ(newlyPublished(), 2u);
    EXPECT_EQ(last().batteryCharging, true);
    EXPECT_EQ(last().batteryLevelChangedAt, at(5));
    EXPECT_EQ(last().micMuted, true);
    EXPECT_EQ(last().bluetooth, published()[0].bluetooth);  // until the next full sync
}

// A write that fails on the port drops the link; one the headset ignores does not. Either
// way the trace says so, and the sync after it publishes only what changed.
TEST_F(HeadsetControllerTests, WriteFailuresDropTheLinkOnlyWhenThePortFailed) {
    struct Row {
        const char* name;
        std::function<void(sim::Simulator&)> breakIt;
        const char* description;
        bool drops;
    };
    const Row rows[] = {
        {"headset ignores the item",
         [](sim::Simulator& s) { s.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::sidetoneVolume}; }); },
         "no reply to sidetoneVolume (the headset may be off or out of range)", false},
        {"line hung up", [](sim::Simulator& s) { s.hangUp(); }, "write failed: Input/output error", true},
    };
    double t = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        connectAt(t);
        const int connectsBefore = connects();
        const std::size_t linesBefore = traceLines().size();
        row.breakIt(sim);
        clock.set(t + 1);
        controller().apply({EventID::sidetoneVolume, EventID::ledSetting}, [](HeadsetClient& client) {
            client.setSidetoneVolume({.level = 3, .reportedPercent = 30});
        });
        controller().waitUntilIdle();

        const auto lines = traceLines();
        ASSERT_EQ(lines.size(), linesBefore + 1);
        EXPECT_EQ(lines.back(), Trace::timestamp(at(t + 1)) +
                                    "  WRITE FAILED [AvraneKit.EventID.sidetoneVolume, "
                                    "AvraneKit.EventID.ledSetting]  " + row.description + "\n");
        // Dropped or not, the snapshot keeps its last content: a sync that finds the
        // connection backing off publishes nothing.
        EXPECT_EQ(newlyPublished(), 0u);
        step(t + 2.9);
        EXPECT_EQ(connects(), connectsBefore);
        step(t + 3);
        EXPECT_EQ(connects(), connectsBefore + (row.drops ? 1 : 0));
        sim.setFaults({});
        t += 60;
    }
}

// A hang-up is noticed at the next read; connecting fails while the dongle is away and
// works again once it is back, at the next attempt the back-off allows.
TEST_F(HeadsetControllerTests, HangUpIsNoticedAtTheNextReadAndReconnectionFollows) {
    connectAt(0);
    const std::string oldPath = sim.slavePath();
    sim.hangUp();
    step(1);
    EXPECT_EQ(last().availability,
              HeadsetSnapshot::Availability::headsetUnreachable("read failed: Input/output error"));
    step(3);
    EXPECT_EQ(last().availability,
              HeadsetSnapshot::Availability::noDongle("cannot open " + oldPath +
                                                      ": No such file or directory"));
    sim.replug();
    setDongles({simDongle()});
    step(6.9);
    EXPECT_EQ(last().availability.kind(), Kind::noDongle);
    step(7);
    EXPECT_EQ(last().availability.kind(), Kind::connected);
    EXPECT_EQ(last().batteryPercent, 80);
}

// The computer's own Bluetooth is looked at every 30 s with the panel closed and every 3 s
// with it open, with or without a dongle; a change publishes only that field.
TEST_F(HeadsetControllerTests, BluetoothLinkIsCheckedOnItsOwnSchedule) {
    setDongles({});
    step(0);
    EXPECT_EQ(bluetoothLookups(), 1);
    step(29.9);
    EXPECT_EQ(bluetoothLookups(), 1);
    controller().setPanelVisible(true);  // takes effect from the next check on
    step(30);
    step(32);
    EXPECT_EQ(bluetoothLookups(), 2);
    const MacBluetoothLink paired{.isPaired = true, .isConnected = true, .name = "Avrane H9"};
    setMacLink(paired);
    step(33);
    EXPECT_EQ(bluetoothLookups(), 3);
    ASSERT_EQ(published().size(), 2u);
    EXPECT_EQ(last().macBluetooth, paired);
    EXPECT_EQ(last().availability, published()[0].availability);
    step(36);
    EXPECT_EQ(bluetoothLookups(), 4);
    EXPECT_EQ(published().size(), 2u);
}

TEST(TraceSwitchTests, OnlyOneTurnsItOn) {
    const std::pair<const char*, bool> rows[] = {{"1", true},  {"true", false}, {"yes", false},
                                                 {"2", false}, {"", false},     {" 1", false},
                                                 {nullptr, false}};
    for (const auto& [value, on] : rows) EXPECT_EQ(Trace::isOnFor(value), on) << (value ? value : "unset");
}

}  // namespace
}  // namespace avrane
