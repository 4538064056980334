#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneSim/DeviceEventFeed.h"
#include "AvraneSim/Simulator.h"

namespace avrane::testing {

using namespace std::chrono_literals;

// The stepped clock, `seconds` from the start: as the wall clock shows it (unless a test sets
// that clock), and as the monotonic clock counts it.
inline const TimePoint start = std::chrono::sys_days{std::chrono::May / 1 / 2024} + 9h + 30min;
inline SteadyClock::duration after(double seconds) {
    return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
}
inline TimePoint at(double seconds) { return start + after(seconds); }
inline DueTime steadyAt(double seconds) { return DueTime(1000h) + after(seconds); }

// The test's stand-in for the main thread: posted work runs on the test's thread, in order.
class MainLoop {
public:
    void post(std::function<void()> work) {
        const std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
        posted_.notify_all();
    }
    // Runs posted work until `done` holds (true) or 10 s pass (false); with no `done`, runs
    // what is there.
    bool runUntil(const std::function<bool()>& done = {}) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done || !done()) {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, done ? deadline : std::chrono::steady_clock::now(),
                                    [this] { return !work_.empty(); })) {
                return !done;
            }
            auto work = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            work();
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> work_;
};

// A controller over the simulated headset, with a manual clock. "Discovery" is a list the
// test edits; connecting opens its first entry as a discovered dongle, but without the
// dongle's line settings, which a pty refuses. Device announcements come from a feed the test
// fills; by default the controller may not rely on it, as where the kernel says nothing.
class ControllerHarness : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        dongles = {simDongle()};
    }

    template <class F>
    auto locked(F&& f) {
        const std::lock_guard lock(mutex);
        return f();
    }

    HeadsetController& controller() {
        if (controller_) return *controller_;
        HeadsetController::Options options;
        options.runOnMainThread = [this](std::function<void()> work) { main.post(std::move(work)); };
        options.clock = [this] { return steadyAt(seconds.load()); };
        options.wallClock = [this] { return at(seconds.load()) + wallShift.load(); };
        options.deviceEvents = deviceEvents;
        options.connect = [this] {
            ++connects;
            const auto found = locked([&] { return dongles; });
            if (found.empty()) throw HeadsetClient::Failure::noDongleFound({});
            auto client = std::make_unique<HeadsetClient>(
                found.front(), std::make_unique<SerialPort>(found.front().devicePath, false));
            client->open();
            return client;
        };
        options.findDongles = [this] {
            ++discoveries;
            return locked([&] { return dongles; });
        };
        options.bluetoothLink = [this] {
            ++bluetoothLookups;
            return locked([&] { return macLink; });
        };
        options.trace = Trace([this](std::string_view line) { locked([&] { trace.emplace_back(line); }); }, true);
        options.replyTimeout = 200ms;  // a silent item costs a fifth of a second
        options.retryCount = 1;
        if (tweak) tweak(options);
        controller_ = std::make_unique<HeadsetController>(std::move(options));
        controller_->setOnChange([this](const HeadsetSnapshot& s) { published.push_back(s); });
        return *controller_;
    }

    void step(double at) {
        seconds = at;
        controller().runPumpStep();
    }
    // Connects and reads everything at `at`.
    void connectAt(double at) {
        seconds = at;
        controller().refresh();
        controller().waitUntilIdle();
        ASSERT_EQ(last().availability.kind(), HeadsetSnapshot::Availability::Kind::connected);
        seen = published.size();
    }
    void setDongles(std::vector<DiscoveredDongle> list) { locked([&] { dongles = std::move(list); }); }
    std::vector<std::string> traceLines() { return locked([&] { return trace; }); }
    // Snapshots delivered since the test last asked.
    std::size_t newlyPublished() {
        main.runUntil();
        return published.size() - std::exchange(seen, published.size());
    }
    const HeadsetSnapshot& last() {
        main.runUntil();
        return published.back();
    }
    // The headset changes by itself; the announcement is on the line when this returns.
    void headsetChanges(EventID item, const std::function<void(sim::HeadsetModel&)>& edit) {
        sim.change(item, edit);
        ASSERT_TRUE(sim.waitUntilSent());
    }

    DiscoveredDongle simDongle() const { return {DongleModel::h9, sim.slavePath(), "SIM"}; }
    // Full syncs so far: each starts with the first bulk part.
    long bulkReads() const {
        const auto log = sim.requests();
        return std::count_if(log.begin(), log.end(),
                             [](const sim::ReceivedRequest& r) { return r.packet.eventID == EventID::allFunctionSettingsPart1; });
    }

    sim::Simulator sim;
    MainLoop main;
    std::atomic<double> seconds = 0;  // the clock, from `start`
    std::atomic<SteadyClock::duration> wallShift{};  // the system clock set forward or back
    std::shared_ptr<sim::DeviceEventFeed> deviceEvents = std::make_shared<sim::DeviceEventFeed>(false);
    std::atomic<int> connects = 0, discoveries = 0, bluetoothLookups = 0;
    std::function<void(HeadsetController::Options&)> tweak;  // before the controller is made
    std::mutex mutex;  // guards the three below
    std::vector<DiscoveredDongle> dongles;
    MacBluetoothLink macLink;
    std::vector<std::string> trace;
    std::vector<HeadsetSnapshot> published;  // main loop (test thread) only
    std::size_t seen = 0;

private:
    std::unique_ptr<HeadsetController> controller_;  // last: goes first
};

}  // namespace avrane::testing
