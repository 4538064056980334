// Device announcements: a dongle plugged in is connected at once, whatever the back-off says,
// and one pulled out is let go at once; where announcements can be relied on, the controller
// looks for the dongle itself only once a minute.
#include <unistd.h>

#include <filesystem>

#include "ControllerHarness.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using Availability = HeadsetSnapshot::Availability;
using Wait = HeadsetController::PumpWait;
using Due = HeadsetController::Due;

// Announcements the controller may rely on, as where the kernel's reach it.
class HotPlugTests : public testing::ControllerHarness {
protected:
    void SetUp() override {
        ControllerHarness::SetUp();
        deviceEvents = std::make_shared<sim::DeviceEventFeed>(true);
    }

    static constexpr std::string_view noDongleText = "no AVRANE dongle found (is the USB transceiver plugged in?)";
};

// After a minute without a dongle the back-off waits 30 s; a dongle announced meanwhile is
// connected in the next step, another device is not looked at twice. Pulled out, the dongle
// is let go at once and silently, as the presence check would, and the attempt 2 s on tells.
TEST_F(HotPlugTests, PlugInConnectsAtOnceAndUnplugLetsGoAtOnce) {
    setDongles({});
    for (const double t : {0.0, 4.0, 12.0, 28.0, 58.0}) step(t);
    EXPECT_EQ(controller().pumpWait().wait, 30s);

    seconds = 70;
    deviceEvents->add("/dev/ttyS4");  // not a dongle: discovery does not list it
    controller().runPumpStep();
    EXPECT_EQ(connects, 5);
    setDongles({simDongle()});
    deviceEvents->add(sim.slavePath());
    step(70.5);
    EXPECT_EQ(connects, 6);
    EXPECT_EQ(last().availability.kind(), Availability::Kind::connected);

    const int looked = discoveries;
    for (double t = 71; t < 130; t += 5) step(t);
    EXPECT_EQ(discoveries, looked);
    step(131);
    EXPECT_EQ(discoveries, looked + 1);

    newlyPublished();
    setDongles({});
    deviceEvents->remove("/dev/ttyS4");
    deviceEvents->remove(sim.slavePath());
    step(140);
    EXPECT_EQ(newlyPublished(), 0u);
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::connectAttempt, 2s}));
    step(142);
    EXPECT_EQ(last().availability, Availability::noDongle(std::string(noDongleText)));
}

// The node of a dongle just announced may be refused for a moment (udev has not given it its
// group yet): the attempt is made again 0.2, 0.5 and 1 s after the announcement, the refusals
// only traced. Refused throughout, the last refusal is shown and the back-off takes over.
TEST_F(HotPlugTests, OpenIsTriedAgainForAboutASecondAfterPlugIn) {
    const std::string node = sim.slavePath();
    std::atomic<int> refusals = 0;
    tweak = [&](HeadsetController::Options& options) {
        options.connect = [&, open = options.connect] {
            if (refusals > 0) {
                --refusals;
                ++connects;
                throw SerialPort::Failure::openFailed(node, EACCES);
            }
            return open();
        };
    };
    const std::string refused = "cannot open " + node + ": Permission denied";
    setDongles({});
    step(0);
    setDongles({simDongle()});
    refusals = 2;
    deviceEvents->add(node);
    step(1);
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::connectAttempt, 200ms}));
    step(1.2);
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::connectAttempt, 300ms}));
    step(1.5);
    ASSERT_EQ(newlyPublished(), 2u);  // no dongle, then connected: nothing in between
    EXPECT_EQ(last().availability.kind(), Availability::Kind::connected);
    EXPECT_EQ(traceLines().front(), Trace::timestamp(testing::at(1)) + "  FAILED connect after plug-in  " + refused + "\n");

    deviceEvents->remove(node);
    step(2);
    refusals = 10;
    deviceEvents->add(node);
    const int before = connects;
    for (const double t : {2.5, 2.7, 3.0}) step(t);
    EXPECT_EQ(newlyPublished(), 0u);
    step(3.5);
    EXPECT_EQ(connects, before + 4);
    EXPECT_EQ(last().availability, Availability::noDongle(refused, true));  // not ours to open
    EXPECT_EQ(controller().pumpWait(), (Wait{Due::connectAttempt, 4s}));
}

// Announcements lost on the way (the kernel's queue overflowed) send the controller looking
// at once; a source that fails is traced.
TEST_F(HotPlugTests, LostAnnouncementsAreMadeUpForByLooking) {
    setDongles({});
    step(0);
    setDongles({simDongle()});
    deviceEvents->loseSome();
    step(1);
    EXPECT_EQ(last().availability.kind(), Availability::Kind::connected);
    const int looked = discoveries;
    deviceEvents->loseSome();
    step(2);
    EXPECT_EQ(discoveries, looked + 1);

    deviceEvents->fail(DeviceEventSource::Failure::readFailed(ENOMEM));
    step(3);
    EXPECT_EQ(traceLines().back(), Trace::timestamp(testing::at(3)) +
                                       "  FAILED device events  reading device events failed: Cannot allocate memory\n");
}

// A device named from outside that no announcement covers, here a pseudo-terminal behind a
// link as the simulated dongle keeps one: when the link comes back, the controller connects
// at once rather than at the back-off's next attempt; a file of another name changes nothing.
using ForcedPortTests = testing::ControllerHarness;

TEST_F(ForcedPortTests, TheNamedDeviceComingBackConnectsAtOnce) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("avrane-forced-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path link = folder / "dongle";
    tweak = [&](HeadsetController::Options& options) {
        options.forcedPort = link.string();
        options.connect = [&] {
            ++connects;
            auto client = std::make_unique<HeadsetClient>(link.string());
            client->open();
            return client;
        };
    };
    step(0);  // not there: the next attempt is 4 s on
    EXPECT_EQ(last().availability.kind(), Availability::Kind::noDongle);
    std::filesystem::create_symlink(sim.slavePath(), folder / "other");
    step(1);
    EXPECT_EQ(connects, 1);
    // Put in place as the simulator does it: made beside, then renamed.
    std::filesystem::create_symlink(sim.slavePath(), folder / "dongle.new");
    std::filesystem::rename(folder / "dongle.new", link);
    step(1.5);
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(last().availability.kind(), Availability::Kind::connected);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace avrane
