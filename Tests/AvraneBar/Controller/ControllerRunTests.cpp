// The controller as the application runs it: started, with its own pump thread, delivering
// to a main loop that the test thread runs.
#include <dirent.h>

#include <fstream>
#include <set>

#include "ControllerHarness.h"

namespace avrane {
namespace {

using Kind = HeadsetSnapshot::Availability::Kind;

std::set<std::string> threadNames() {
    std::set<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        names.insert(name);
    }
    return names;
}

class ControllerRunTests : public testing::ControllerHarness {};

TEST_F(ControllerRunTests, StartedControllerDeliversEverySnapshotInOrder) {
    HeadsetController& c = controller();
    c.start();
    // The launch read: a copy, whatever the queue is doing at that moment.
    EXPECT_NE(c.snapshot().availability.kind(), Kind::headsetUnreachable);
    const auto lastIs = [this](const std::function<bool(const HeadsetSnapshot&)>& wanted) {
        return [this, wanted] { return !delivered().empty() && wanted(delivered().back()); };
    };
    ASSERT_TRUE(main.runUntil(lastIs([](const HeadsetSnapshot& s) {
        return s.availability.kind() == Kind::connected;
    })));
    const auto names = threadNames();
    EXPECT_TRUE(names.contains("avrane.controll"));  // the first 15 bytes of the names
    EXPECT_TRUE(names.contains("avrane.notifica"));

    // The pump's first step syncs again (a connect asks for that); a sync overwrites what
    // notifications brought in while it read, so let it finish first.
    // The first sync: three bulk parts, model, firmware; the second: the bulk parts.
    ASSERT_TRUE(sim.waitForRequests(8));
    c.waitUntilIdle();

    // The pump thread reads the headset's announcements as they come.
    for (const std::uint8_t percent : {60, 59, 58}) {
        sim.change(EventID::batteryInfo, [=](sim::HeadsetModel& m) { m.battery.percent = percent; });
    }
    ASSERT_TRUE(main.runUntil(lastIs([](const HeadsetSnapshot& s) { return s.batteryPercent == 58; })));
    std::vector<std::uint8_t> percents;
    for (const auto& s : delivered()) {
        if (s.batteryPercent && (percents.empty() || percents.back() != *s.batteryPercent)) {
            percents.push_back(*s.batteryPercent);
        }
    }
    EXPECT_EQ(percents, (std::vector<std::uint8_t>{80, 60, 59, 58}));
    EXPECT_EQ(c.snapshot().batteryPercent, 58);

    // A write reaches the headset while the pump runs, and its result comes back.
    c.apply({EventID::headphoneVolume}, [](HeadsetClient& client) {
        client.setHeadphoneVolume({.isMuted = true, .level = 7, .reportedPercent = 23});
    });
    ASSERT_TRUE(sim.waitForRequest([](const Packet& p) {
        return p.eventID == EventID::headphoneVolume && p.eventType == EventType::set;
    }));
    ASSERT_TRUE(main.runUntil(lastIs([](const HeadsetSnapshot& s) {
        return s.volume && s.volume->level == 7 && s.volume->isMuted;
    })));
}

}  // namespace
}  // namespace avrane
