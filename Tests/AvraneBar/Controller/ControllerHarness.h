#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneSim/Simulator.h"

namespace avrane::testing {

using namespace std::chrono_literals;

// Time that moves only when the test says so. Read from the controller's queue.
class ManualClock {
public:
    static inline const TimePoint start =
        std::chrono::sys_days{std::chrono::May / 1 / 2024} + 9h + 30min;  // 09:30:00Z

    TimePoint now() const {
        const std::lock_guard lock(mutex_);
        return now_;
    }
    // Seconds after `start`.
    void set(double seconds) {
        const std::lock_guard lock(mutex_);
        now_ = later(start, seconds);
    }

private:
    mutable std::mutex mutex_;
    TimePoint now_ = start;
};

// The test's stand-in for the application's main thread: work posted from any thread runs
// on the test's own thread, in order, when the test lets it.
class MainLoop {
public:
    void post(std::function<void()> work) {
        {
            const std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
        }
        posted_.notify_all();
    }
    void runPending() {
        while (auto work = next(0ms)) work();
    }
    // Runs posted work until `done` holds; false when `timeout` passes first.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            auto work = next(std::max(left, 0ms));
            if (!work) return done();
            work();
        }
        return true;
    }

private:
    std::function<void()> next(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        posted_.wait_for(lock, wait, [this] { return !work_.empty(); });
        if (work_.empty()) return nullptr;
        auto work = std::move(work_.front());
        work_.pop_front();
        return work;
    }

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> work_;
};

// A controller over the simulated headset. "Discovery" is a list the test edits; connecting
// opens its first entry as a discovered dongle, but without the dongle's line settings,
// which a pty refuses.
class ControllerHarness : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        setDongles({simDongle()});
    }

    // Builds the controller on first use; `tweak` adjusts the options first.
    HeadsetController& controller(const std::function<void(HeadsetController::Options&)>& tweak = {}) {
        if (controller_) return *controller_;
        HeadsetController::Options options;
        options.runOnMainThread = [this](std::function<void()> work) { main.post(std::move(work)); };
        options.now = [this] { return clock.now(); };
        options.connect = [this] {
            const auto found = dongles();
            {
                const std::lock_guard lock(mutex_);
                ++connects_;
            }
            if (found.empty()) throw HeadsetClient::Failure::noDongleFound({});
            auto client = std::make_unique<HeadsetClient>(
                found.front(), std::make_unique<SerialPort>(found.front().devicePath, false));
            client->open();
            return client;
        };
        options.findDongles = [this] {
            const std::lock_guard lock(mutex_);
            ++discoveries_;
            return dongles_;
        };
        options.bluetoothLink = [this] {
            const std::lock_guard lock(mutex_);
            ++bluetoothLookups_;
            return macLink_;
        };
        options.trace = Trace([this](std::string_view line) {
            const std::lock_guard lock(mutex_);
            traceLines_.emplace_back(line);
        }, true);
        // Short, so that a silent item costs a fifth of a second.
        options.replyTimeout = 0.2;
        options.retryCount = 1;
        if (tweak) tweak(options);
        controller_ = std::make_unique<HeadsetController>(std::move(options));
        controller_->setOnChange([this](const HeadsetSnapshot& s) { published_.push_back(s); });
        return *controller_;
    }

    void step(double seconds) {
        clock.set(seconds);
        controller().runPumpStep();
    }

    // Snapshots delivered so far, after running what the controller posted.
    const std::vector<HeadsetSnapshot>& published() {
        main.runPending();
        return published_;
    }
    // Delivered so far, without running anything.
    const std::vector<HeadsetSnapshot>& delivered() const { return published_; }
    // The number delivered since the test last asked.
    std::size_t newlyPublished() {
        const std::size_t count = published().size() - seen_;
        seen_ = published_.size();
        return count;
    }

    DiscoveredDongle simDongle() const { return {DongleModel::h9, sim.slavePath(), "SIM"}; }
    void setDongles(std::vector<DiscoveredDongle> list) {
        const std::lock_guard lock(mutex_);
        dongles_ = std::move(list);
    }
    std::vector<DiscoveredDongle> dongles() const {
        const std::lock_guard lock(mutex_);
        return dongles_;
    }
    void setMacLink(MacBluetoothLink link) {
        const std::lock_guard lock(mutex_);
        macLink_ = std::move(link);
    }
    int connects() const {
        const std::lock_guard lock(mutex_);
        return connects_;
    }
    int discoveries() const {
        const std::lock_guard lock(mutex_);
        return discoveries_;
    }
    int bluetoothLookups() const {
        const std::lock_guard lock(mutex_);
        return bluetoothLookups_;
    }
    std::vector<std::string> traceLines() const {
        const std::lock_guard lock(mutex_);
        return traceLines_;
    }

    // The headset changes by itself; the announcement is on the line when this returns.
    void headsetChanges(EventID item, const std::function<void(sim::HeadsetModel&)>& edit) {
        sim.change(item, edit);
        ASSERT_TRUE(sim.waitUntilSent());
    }

    sim::Simulator sim;
    ManualClock clock;
    MainLoop main;

private:
    mutable std::mutex mutex_;
    std::vector<DiscoveredDongle> dongles_;
    MacBluetoothLink macLink_;
    int connects_ = 0;
    int discoveries_ = 0;
    int bluetoothLookups_ = 0;
    std::vector<std::string> traceLines_;
    std::vector<HeadsetSnapshot> published_;  // main loop (test thread) only
    std::size_t seen_ = 0;
    // Last: goes first, while everything it calls into still exists.
    std::unique_ptr<HeadsetController> controller_;
};

}  // namespace avrane::testing
