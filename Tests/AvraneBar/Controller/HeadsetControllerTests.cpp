// The controller stepped by hand: one pump step at a time on its queue, time from a manual
// clock, the real client over a pty to the simulated headset.
#include <algorithm>
#include <future>

#include "AvraneKit/Client/SettingTable.h"

#include "ControllerHarness.h"

namespace avrane {
namespace {

using Availability = HeadsetSnapshot::Availability;
using Kind = Availability::Kind;
using testing::at;
using namespace std::chrono_literals;

using HeadsetControllerTests = testing::ControllerHarness;

// Attempts at once, then 4, 8, 16, 30, 30 s apart, identical failures published once. A
// connect resets the delay: when the dongle is no longer the first one found (presence is
// checked every 2 s), the link is dropped silently, and attempts follow 2 s and 4 s later.
TEST_F(HeadsetControllerTests, ConnectBacksOffAndResetsTheDelayAfterASuccess) {
    setDongles({});
    const DiscoveredDongle other{DongleModel::h9, "/nonexistent/ttyACM9", "OTHER"};
    std::vector<int> attempts;
    for (int t = 0; t <= 160; ++t) {
        if (t == 130) setDongles({simDongle()});
        if (t == 150) setDongles({other, simDongle()});
        const int before = connects;
        step(t);
        if (connects > before) attempts.push_back(t);
    }
    EXPECT_EQ(attempts, (std::vector<int>{0, 4, 12, 28, 58, 88, 118, 148, 152, 156}));
    ASSERT_EQ(newlyPublished(), 3u);
    EXPECT_EQ(published[0].availability,
              Availability::noDongle("no AVRANE dongle found (is the USB transceiver plugged in?)"));
    EXPECT_EQ(published[1].availability.kind(), Kind::connected);  // synced in the same step
    const HeadsetSnapshot& lost = published[2];
    EXPECT_EQ(lost.availability,
              Availability::noDongle("cannot open /nonexistent/ttyACM9: No such file or directory"));
    EXPECT_EQ(lost.dongleName, "AVRANE H9 / H7");
    EXPECT_FALSE(lost.batteryPercent || lost.volume || lost.model || lost.ambient);
    EXPECT_EQ(lost.batteryLevelChangedAt, at(152));  // the percent went away
}

// A device this user may not open is told apart by the failure's errno, whatever language
// the system's text for it is in; a configuration step refused is not that case.
TEST_F(HeadsetControllerTests, ADongleThatMayNotBeOpenedIsMarked) {
    std::vector<SerialPort::Failure> failures{SerialPort::Failure::openFailed("/dev/ttyACM0", EACCES),
                                              SerialPort::Failure::openFailed("/dev/ttyACM0", EPERM),
                                              SerialPort::Failure::configureFailed("raising DTR", EPERM)};
    tweak = [&](HeadsetController::Options& options) {
        options.connect = [&]() -> std::unique_ptr<HeadsetClient> {
            const SerialPort::Failure failure = failures.front();
            failures.erase(failures.begin());
            throw failure;
        };
    };
    std::vector<bool> denied;
    for (const int t : {0, 4, 12}) {
        step(t);
        denied.push_back(last().availability.accessDenied());
        EXPECT_EQ(last().availability.kind(), Kind::noDongle);
        EXPECT_FALSE(last().availability.inUse());
    }
    EXPECT_EQ(denied, (std::vector<bool>{true, true, false}));
}

// A dongle another program holds (here a port of the test's own) is not a missing one.
TEST_F(HeadsetControllerTests, ADongleHeldByAnotherProgramIsInUse) {
    SerialPort holder(sim.slavePath(), false);
    holder.open();
    step(0);
    EXPECT_EQ(last().availability,
              Availability::dongleInUse("cannot open " + sim.slavePath() + ": Device or resource busy"));
    holder.close();
    step(4);
    EXPECT_EQ(last().availability.kind(), Kind::connected);
}

TEST_F(HeadsetControllerTests, ForcedPortIsNeverCheckedForPresence) {
    tweak = [this](HeadsetController::Options& options) {
        options.connect = [this] {
            auto client = std::make_unique<HeadsetClient>(sim.slavePath());
            client->open();
            return client;
        };
    };
    setDongles({});
    connectAt(0);
    for (const double t : {3.0, 6.0}) step(t);
    EXPECT_EQ(discoveries, 0);
    EXPECT_EQ(newlyPublished(), 0u);
    EXPECT_EQ(last().dongleName, "virtual port");
}

// The sync queued at start connects, and the connect makes the next step sync again; the
// model is read again while it keeps failing; identical syncs publish nothing.
TEST_F(HeadsetControllerTests, FullSyncRightAfterConnectAndEveryMinute) {
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::modelInfo}; });
    auto model = sim.model();
    model.battery.statusCode = 7;  // no known status: not charging
    sim.setModel(model);
    connectAt(0);
    EXPECT_FALSE(last().model);
    EXPECT_EQ(last().batteryCharging, false);
    EXPECT_EQ(last().volume, model.headphoneVolume);

    sim.setFaults({});
    step(5);
    EXPECT_EQ(bulkReads(), 2);
    ASSERT_EQ(newlyPublished(), 1u);
    EXPECT_EQ(last().model, model.modelInfo);
    EXPECT_EQ(last().batteryLevelChangedAt, at(0));
    step(20);
    EXPECT_EQ(bulkReads(), 2);
    step(65);
    EXPECT_EQ(bulkReads(), 3);
    EXPECT_EQ(newlyPublished(), 0u);
}

// Due times run on the monotonic clock: the wall clock set back an hour neither delays the
// next battery poll nor hides it. Only the battery's change time shows the wall clock.
TEST_F(HeadsetControllerTests, BatteryPollPatchesTheBatteryAndAFailureKeepsTheClient) {
    connectAt(0);
    step(1);  // the sync that follows a connect: polls are due from 31 on
    wallShift = -1h;
    auto model = sim.model();
    model.battery.percent = 79;
    sim.setModel(model);  // no announcement: only the poll sees it
    step(30.9);
    EXPECT_EQ(newlyPublished(), 0u);
    step(31);
    EXPECT_EQ(sim.requests().back().packet.eventID, EventID::batteryInfo);
    ASSERT_EQ(newlyPublished(), 1u);
    EXPECT_EQ(last().batteryPercent, 79);
    EXPECT_EQ(last().batteryLevelChangedAt, at(31) - 1h);

    step(61);  // a full sync is due, not the poll
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::batteryInfo}; });
    step(91);
    EXPECT_EQ(last().availability, Availability::headsetUnreachable(
                                       "no reply to batteryInfo (the headset may be off or out of range)"));
    EXPECT_FALSE(last().volume);
    sim.setFaults({});
    step(121);
    EXPECT_EQ(last().availability.kind(), Kind::connected);
    EXPECT_EQ(connects, 1);
}

// Notifications of a written event are its echo for one second from the write's start;
// other events are not quieted, and a second write moves the deadline. One trace line per
// notification, suppressed or not. A change the headset made inside the window is read when
// the window ends; a true echo costs no read.
TEST_F(HeadsetControllerTests, WriteEchoesAreSuppressedForOneSecond) {
    connectAt(0);
    const auto write = [this](EventID event, std::function<void(HeadsetClient&)> operation) {
        controller().apply({event}, std::move(operation));
        controller().waitUntilIdle();
    };
    const auto writeVolume = [&](std::uint8_t level) {
        write(EventID::headphoneVolume, [=](HeadsetClient& client) {
            client.setHeadphoneVolume({.isMuted = false, .level = level, .reportedPercent = 50});
        });
    };
    // Announces a volume at `t` and returns the volume shown after one pump step.
    const auto announceVolume = [this](double t, std::uint8_t level) {
        seconds = t;
        headsetChanges(EventID::headphoneVolume, [=](sim::HeadsetModel& m) { m.headphoneVolume.level = level; });
        controller().runPumpStep();
        return controller().snapshot().volume->level;
    };

    seconds = 10;
    writeVolume(20);
    EXPECT_EQ(controller().snapshot().volume->level, 20);  // from the sync after the write
    EXPECT_EQ(announceVolume(10.3, 25), 20);
    EXPECT_EQ(controller().pumpWait(), (HeadsetController::PumpWait{HeadsetController::Due::fullSync, 700ms}));
    step(11);
    EXPECT_EQ(controller().snapshot().volume->level, 25);
    EXPECT_EQ(announceVolume(11.5, 26), 26);
    EXPECT_EQ(traceLines(), (std::vector<std::string>{
        "2024-05-01T09:30:10Z  NTFY receiver->pc  headphoneVolume  [00 14 32]  (suppressed: our own write)\n",
        "2024-05-01T09:30:10Z  NTFY receiver->pc  headphoneVolume  [00 19 32]  (suppressed: our own write)\n",
        "2024-05-01T09:30:11Z  NTFY receiver->pc  headphoneVolume  [00 1A 32]\n"}));

    seconds = 20;
    write(EventID::ledSetting, [](HeadsetClient& client) { client.setLEDSetting({.isOn = false}); });
    EXPECT_EQ(announceVolume(20.3, 27), 27);
    const auto readsBefore = bulkReads();
    step(21);
    EXPECT_EQ(bulkReads(), readsBefore);
    EXPECT_EQ(controller().snapshot().led->isOn, false);

    seconds = 30;
    writeVolume(10);
    seconds = 30.8;
    writeVolume(11);
    EXPECT_EQ(announceVolume(31.5, 12), 11);
    step(31.8);
    EXPECT_EQ(controller().snapshot().volume->level, 12);
}

// Each notification patches its own field, in order; the battery time stamp moves with the
// percent only; events the snapshot does not follow, and unreadable battery payloads,
// change nothing.
TEST_F(HeadsetControllerTests, NotificationsPatchTheSnapshotInOrder) {
    connectAt(0);
    const auto pumpUntilTraced = [this](std::size_t lines) {
        for (int i = 0; i < 3 && traceLines().size() < lines; ++i) controller().runPumpStep();
    };
    seconds = 5;
    for (const std::uint8_t percent : {79, 78, 77}) {
        sim.change(EventID::batteryInfo, [=](sim::HeadsetModel& m) { m.battery.percent = percent; });
    }
    ASSERT_TRUE(sim.waitUntilSent());
    pumpUntilTraced(3);
    ASSERT_EQ(newlyPublished(), 3u);
    EXPECT_EQ(published[1].batteryPercent, 79);
    EXPECT_EQ(published[3].batteryPercent, 77);
    EXPECT_EQ(published[3].batteryLevelChangedAt, at(5));

    seconds = 6;
    sim.announce(EventID::batteryInfo);  // the same percent and status again
    sim.change(EventID::btStatus, [](sim::HeadsetModel& m) { m.bluetooth.link = BluetoothStatus::Link::connected; });
    sim.send(Packet{.type = PacketType::event, .source = Address::receiver, .destination = Address::pc,
                    .eventID = EventID::batteryInfo, .eventType = EventType::ntfy, .transactionID = 0,
                    .param = {}});
    ASSERT_TRUE(sim.waitUntilSent());
    pumpUntilTraced(6);
    EXPECT_EQ(traceLines().size(), 6u);
    EXPECT_EQ(newlyPublished(), 0u);

    seconds = 7;
    headsetChanges(EventID::batteryInfo, [](sim::HeadsetModel& m) { m.battery.statusCode = 1; });
    headsetChanges(EventID::micVolume, [](sim::HeadsetModel& m) { m.microphoneVolume.isMuted = true; });
    pumpUntilTraced(8);
    ASSERT_EQ(newlyPublished(), 2u);
    EXPECT_EQ(last().batteryCharging, true);
    EXPECT_EQ(last().batteryLevelChangedAt, at(5));
    EXPECT_EQ(last().micMuted, true);
    EXPECT_EQ(last().bluetooth, published[0].bluetooth);  // until the next full sync
}

// The headset announces a change while a full sync reads it, after the sync has read that
// setting: what the sync read before is older, and must not replace the announced value.
TEST_F(HeadsetControllerTests, ANotificationDuringASyncOutlivesWhatTheSyncReadBeforeIt) {
    connectAt(0);
    std::atomic<bool> pressed = false;
    sim.setRequestObserver([&](const sim::ReceivedRequest& request) {
        // Part 1, with the volume, is read; the button is pressed before part 3 is answered.
        if (request.packet.eventID != EventID::allFunctionSettingsPart3 || pressed.exchange(true)) return;
        sim.change(EventID::headphoneVolume, [](sim::HeadsetModel& m) {
            m.headphoneVolume.level = 21;
            m.headphoneVolume.reportedPercent = 70;
        });
    });
    seconds = 10;
    controller().refresh();
    controller().waitUntilIdle();
    sim.setRequestObserver(nullptr);
    ASSERT_TRUE(pressed);
    main.runUntil();
    const auto announced = std::find_if(published.begin() + std::ptrdiff_t(seen), published.end(),
                                        [](const HeadsetSnapshot& s) { return s.volume && s.volume->level == 21; });
    ASSERT_NE(announced, published.end());
    for (auto it = announced; it != published.end(); ++it) EXPECT_EQ(it->volume->level, 21);
}

// A write that fails on the port drops the link; one the headset ignores does not. The
// trace says so, and the sync after it publishes nothing: the snapshot stays as it was. Its
// caller hears which: a line that failed after the write went out leaves the write
// unconfirmed (the headset may have taken it, as here), one that failed before it fails it.
TEST_F(HeadsetControllerTests, WriteFailuresDropTheLinkOnlyWhenThePortFailed) {
    using Told = HeadsetController::Failure::Kind;
    const struct {
        std::function<void(sim::Simulator&)> breakLink;
        std::string description;
        int reconnects;
        Told told;
        std::uint8_t stored;
    } rows[] = {
        {[](sim::Simulator& s) { s.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::sidetoneVolume}; }); },
         "no reply to sidetoneVolume (the headset may be off or out of range)", 0, Told::noReply, 5},
        {[](sim::Simulator& s) { s.hangUp(); }, "write failed: Input/output error", 1, Told::failed, 5},
        {[](sim::Simulator& s) {
             s.setRequestObserver([&s](const sim::ReceivedRequest& r) {
                 if (r.packet.eventType == EventType::set) s.hangUp();  // stored, not answered
             });
         },
         "read failed: Input/output error", 1, Told::unconfirmed, 3},
    };
    double t = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        connectAt(t);
        const int connectsBefore = connects;
        row.breakLink(sim);
        seconds = t + 1;
        std::optional<HeadsetController::Failure> told;
        controller().apply({EventID::sidetoneVolume, EventID::ledSetting},
                           [](HeadsetClient& client) { client.setSidetoneVolume({.level = 3, .reportedPercent = 30}); },
                           [&](const std::optional<HeadsetController::Failure>& failure) { told = failure; });
        controller().waitUntilIdle();
        EXPECT_EQ(traceLines().back(), Trace::timestamp(at(t + 1)) +
                                           "  WRITE FAILED [AvraneKit.EventID.sidetoneVolume, "
                                           "AvraneKit.EventID.ledSetting]  " + row.description + "\n");
        EXPECT_EQ(newlyPublished(), 0u);
        ASSERT_TRUE(told);
        EXPECT_EQ(told->kind, row.told);
        EXPECT_EQ(sim.model().sidetoneVolume.level, row.stored);
        step(t + 2.9);
        EXPECT_EQ(connects, connectsBefore);
        sim.setRequestObserver(nullptr);
        if (!sim.isPluggedIn()) {
            sim.replug();
            setDongles({simDongle()});
        }
        step(t + 3);  // 2 s after a drop
        EXPECT_EQ(connects, connectsBefore + row.reconnects);
        sim.setFaults({});
        t += 60;
    }
}

// With no connect attempt due, a write goes nowhere: it is traced and lost, no operation
// runs, nothing is published and the back-off keeps its schedule (a drop would move the
// next attempt to 2 s after the write). Its caller hears why there is no link, in words that
// suit a read as well as a write.
TEST_F(HeadsetControllerTests, WriteRefusedWhileBackingOffIsTracedAndLostWithoutDroppingAnything) {
    setDongles({});
    step(0);  // fails: the next attempt is due at 4
    ASSERT_EQ(newlyPublished(), 1u);
    seconds = 1;
    bool ran = false;
    std::optional<HeadsetController::Failure> told;
    controller().apply({EventID::headphoneVolume}, [&](HeadsetClient&) { ran = true; },
                       [&](const auto& failure) { told = failure; });
    controller().waitUntilIdle();
    EXPECT_FALSE(ran);
    EXPECT_EQ(traceLines().back(),
              Trace::timestamp(at(1)) + "  WRITE FAILED [AvraneKit.EventID.headphoneVolume]  backingOff\n");
    EXPECT_EQ(newlyPublished(), 0u);
    ASSERT_TRUE(told);
    EXPECT_EQ(*told, (HeadsetController::Failure{HeadsetController::Failure::Kind::notConnected,
                                                  "no dongle at the moment: no AVRANE dongle found (is the USB "
                                                  "transceiver plugged in?) (AvraneBar tries again shortly)"}));
    step(3.9);
    EXPECT_EQ(connects, 1);
    step(4);
    EXPECT_EQ(connects, 2);

    // A headset that stopped answering drops the link too; a read in the pause says that.
    setDongles({simDongle()});
    step(12);
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    controller().refresh();
    controller().waitUntilIdle();
    told.reset();
    controller().performForCaller([](HeadsetClient& client) { client.rawParam(EventID::ledSetting); }, testing::steadyAt(60),
                                  [&](const auto& failure) { told = failure; });
    ASSERT_TRUE(main.runUntil([&] { return told.has_value(); }));
    EXPECT_EQ(told->description, "the headset is not reachable at the moment: no reply to batteryInfo "
                                 "(the headset may be off or out of range) (AvraneBar tries again shortly)");
}

// Other programs' requests wait behind the application's own work: the panel's write queued
// after them goes first, and a flood of refreshes while one waits costs one read.
TEST_F(HeadsetControllerTests, CallersWaitBehindThePanelAndTheirRefreshesAreOne) {
    connectAt(0);
    std::promise<void> release;
    controller().apply({EventID::ledSetting}, [held = release.get_future().share()](HeadsetClient&) { held.wait(); });
    for (int i = 0; i < 5000; ++i) controller().refreshForCaller();
    bool read = false;
    controller().performForCaller([](HeadsetClient& client) { client.rawParam(EventID::btStatus); }, testing::steadyAt(60),
                                  [&](const auto& failure) { read = !failure; });
    controller().apply({EventID::headphoneVolume}, settingWrites::headphoneVolume(20));
    sim.clearRequests();
    release.set_value();
    ASSERT_TRUE(main.runUntil([&] { return read; }));

    const auto requests = sim.requests();
    const auto first = [&](EventType type, EventID item) {
        return std::find_if(requests.begin(), requests.end(),
                            [&](const auto& r) { return r.packet.eventType == type && r.packet.eventID == item; });
    };
    EXPECT_LT(first(EventType::set, EventID::headphoneVolume), first(EventType::get, EventID::btStatus));
    // The syncs after the two writes, and one for all the refreshes.
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const auto& r) { return r.packet.eventID == EventID::allFunctionSettingsPart1; }),
              3);
}

// A caller that has given up never sees its request happen: one still queued at its deadline
// is dropped unsent, and one under way sends nothing after it.
TEST_F(HeadsetControllerTests, CallersRequestsNeverGoOutPastTheirDeadline) {
    connectAt(0);
    std::promise<void> release;
    controller().apply({EventID::sidetoneVolume}, [held = release.get_future().share()](HeadsetClient&) { held.wait(); });
    std::vector<HeadsetController::Failure> told;
    const auto hear = [&](const std::optional<HeadsetController::Failure>& failure) {
        told.push_back(failure.value_or(HeadsetController::Failure{}));
    };
    controller().applyForCaller({EventID::ledSetting}, settingWrites::led(false), testing::steadyAt(1), hear);
    controller().performForCaller([](HeadsetClient& client) { client.rawParam(EventID::btStatus); }, testing::steadyAt(1),
                                  hear);
    seconds = 2;  // the callers stopped waiting meanwhile
    release.set_value();
    ASSERT_TRUE(main.runUntil([&] { return told.size() == 2; }));

    // Between the read and the write of a volume change.
    sim.setRequestObserver([this](const sim::ReceivedRequest& r) {
        if (r.packet.eventID == EventID::headphoneVolume) seconds = 4;
    });
    controller().applyForCaller({EventID::headphoneVolume}, settingWrites::headphoneVolume(22), testing::steadyAt(3),
                                hear);
    ASSERT_TRUE(main.runUntil([&] { return told.size() == 3; }));
    sim.setRequestObserver(nullptr);

    for (const auto& failure : told) EXPECT_EQ(failure.kind, HeadsetController::Failure::Kind::deadlinePassed);
    for (const auto& request : sim.requests()) {
        EXPECT_NE(request.packet.eventType, EventType::set) << caseName(request.packet.eventID);
        EXPECT_NE(request.packet.eventID, EventID::btStatus);
    }
    EXPECT_TRUE(sim.model().led.isOn);
    EXPECT_EQ(sim.model().headphoneVolume.level, 15);
}

// Every 30 s with the panel closed, every 3 s with it open, with or without a dongle; a
// change publishes only that field.
TEST_F(HeadsetControllerTests, BluetoothLinkIsCheckedOnItsOwnSchedule) {
    setDongles({});
    step(0);
    step(29.9);
    EXPECT_EQ(bluetoothLookups, 1);
    controller().setPanelVisible(true);  // takes effect from the next check on
    step(30);
    step(32);
    EXPECT_EQ(bluetoothLookups, 2);
    const MacBluetoothLink paired{.isPaired = true, .isConnected = true, .name = "Avrane H9"};
    locked([&] { macLink = paired; });
    step(33);
    ASSERT_EQ(newlyPublished(), 2u);
    EXPECT_EQ(published[1].macBluetooth, paired);
    EXPECT_EQ(published[1].availability, published[0].availability);

    // Neither a full sync nor a failure loses it: both start from a fresh snapshot.
    setDongles({simDongle()});
    step(58);  // the back-off's attempt: connected and synced
    EXPECT_EQ(last().availability.kind(), Kind::connected);
    EXPECT_EQ(last().macBluetooth, paired);
    sim.hangUp();
    step(59);
    EXPECT_EQ(last().availability.kind(), Kind::headsetUnreachable);
    EXPECT_EQ(last().macBluetooth, paired);
}

// The pump sleeps until the earliest due time of the state it is in: the next connect
// attempt without a client; with one, the presence check (every 2 s where no device
// announcements can be relied on, every minute where they can), the battery poll, the full
// sync; the Bluetooth check in both.
TEST_F(HeadsetControllerTests, PumpSleepsUntilTheEarliestDueTime) {
    using Due = HeadsetController::Due;
    using Wait = HeadsetController::PumpWait;
    setDongles({});
    step(0);
    step(28);  // the second attempt; the next is 8 s on, after the Bluetooth check at 30
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::bluetoothCheck, 2s}));

    setDongles({simDongle()});
    step(58);  // connects and syncs
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::dongleCheck, 2s}));
    step(60);
    seconds = 60.5;
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::dongleCheck, 1500ms}));
    seconds = 100;  // late: due at once
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::dongleCheck, 0s}));
}

// A notification that arrives before the first full sync of a connection has published
// would otherwise be patched into the snapshot of before it: a fresh battery level beside
// "Looking for dongle…". It waits for the sync and is applied on top of it.
TEST_F(HeadsetControllerTests, NotificationsBeforeTheFirstSyncWaitForIt) {
    std::atomic<bool> sent = false;
    sim.setRequestObserver([&](const sim::ReceivedRequest& request) {
        if (request.packet.eventID != EventID::allFunctionSettingsPart1 || sent.exchange(true)) return;
        // Announced ahead of the bulk reply, so that it reaches the controller mid-sync.
        sim.change(EventID::batteryInfo, [](sim::HeadsetModel& m) { m.battery.percent = 55; });
    });
    seconds = 0;
    controller().refresh();
    controller().waitUntilIdle();
    main.runUntil();
    ASSERT_TRUE(sent);
    ASSERT_FALSE(published.empty());
    for (const HeadsetSnapshot& s : published) {
        EXPECT_TRUE(s.availability.kind() == Kind::connected || !s.batteryPercent)
            << s.availability.text() << " with battery " << int(*s.batteryPercent);
    }
    EXPECT_EQ(published.back().availability.kind(), Kind::connected);
    EXPECT_EQ(published.back().batteryPercent, 55);
}

}  // namespace
}  // namespace avrane
