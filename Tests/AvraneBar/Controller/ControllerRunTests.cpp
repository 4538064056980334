// The controller as the application runs it: started, with its own pump thread, delivering
// to a main loop that the test thread runs.
#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <set>

#include "ControllerHarness.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;

class ControllerRunTests : public testing::ControllerHarness {
protected:
    bool runUntilLast(const std::function<bool(const HeadsetSnapshot&)>& wanted) {
        return main.runUntil([&] { return !published.empty() && wanted(published.back()); });
    }
};

TEST_F(ControllerRunTests, StartedControllerDeliversEverySnapshotInOrder) {
    HeadsetController& c = controller();
    c.start();
    // The launch read: a copy, whatever the queue is doing at that moment.
    EXPECT_NE(c.snapshot().availability.kind(), HeadsetSnapshot::Availability::Kind::headsetUnreachable);
    ASSERT_TRUE(runUntilLast([](const HeadsetSnapshot& s) { return s.batteryPercent == 80; }));
    std::set<std::string> threadNames;  // the names cut to the 15 bytes Linux keeps
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        threadNames.insert(name);
    }
    EXPECT_TRUE(threadNames.contains("avrane.controll") && threadNames.contains("avrane.notifica"));
    // A sync overwrites what notifications brought in while it read: let the two after the
    // connect finish (three bulk parts, model and firmware, then the bulk parts again).
    ASSERT_TRUE(sim.waitForRequests(8));
    c.waitUntilIdle();

    for (const std::uint8_t percent : {60, 59, 58}) {
        sim.change(EventID::batteryInfo, [=](sim::HeadsetModel& m) { m.battery.percent = percent; });
    }
    ASSERT_TRUE(runUntilLast([](const HeadsetSnapshot& s) { return s.batteryPercent == 58; }));
    std::vector<std::uint8_t> percents;
    for (const auto& s : published) percents.push_back(s.batteryPercent.value_or(0));
    percents.erase(std::unique(percents.begin(), percents.end()), percents.end());
    EXPECT_EQ(percents, (std::vector<std::uint8_t>{80, 60, 59, 58}));
}

// With nothing due for half a minute (the clock stands still, in the back-off's longest
// wait), the pump thread sleeps; an announced dongle wakes it at once.
TEST_F(ControllerRunTests, AnnouncedDongleWakesTheSleepingPump) {
    std::mutex mutex;
    std::condition_variable looked;  // the pump thread's first step has begun
    tweak = [&](HeadsetController::Options& options) {
        options.bluetoothLink = [&, lookUp = options.bluetoothLink] {
            const MacBluetoothLink link = lookUp();
            const std::lock_guard lock(mutex);
            looked.notify_all();
            return link;
        };
    };
    deviceEvents = std::make_shared<sim::DeviceEventFeed>(true);
    setDongles({});
    for (const double t : {0.0, 4.0, 12.0, 28.0}) {
        seconds = t;
        controller().runPumpStep();
    }
    seconds = 30;  // the Bluetooth check is due, the next attempt 28 s on
    controller().start();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(looked.wait_for(lock, 10s, [&] { return bluetoothLookups == 2; }));
    }
    controller().waitUntilIdle();  // the step is over: the pump thread goes to sleep
    ASSERT_EQ(controller().pumpWait().wait, 28s);
    setDongles({simDongle()});
    deviceEvents->add(sim.slavePath());
    EXPECT_TRUE(runUntilLast([](const HeadsetSnapshot& s) { return s.availability.kind() == HeadsetSnapshot::Availability::Kind::connected; }));
}

}  // namespace
}  // namespace avrane
