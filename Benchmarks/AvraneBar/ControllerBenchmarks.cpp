// How quickly the controller passes things on, over a pty to the simulated dongle, which
// answers at once: a headset notification to the main thread's onChange, and a write from
// apply() to its first frame on the line while the pump is waiting for input.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "PercentileCounters.h"
#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneSim/Simulator.h"

namespace avrane {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The benchmark thread plays the main thread: it runs what the controller posts.
class MainThread {
public:
    void post(std::function<void()> work) {
        {
            const std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
        }
        posted_.notify_one();
    }
    void runUntil(const std::function<bool()>& done) {
        while (!done()) {
            std::unique_lock lock(mutex_);
            posted_.wait(lock, [this] { return !work_.empty(); });
            auto work = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            work();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> work_;
};

// A started controller holding a client on the simulator, past its first syncs.
struct Rig {
    Rig() {
        simulator.start();
        HeadsetController::Options options;
        options.runOnMainThread = [this](std::function<void()> work) { main.post(std::move(work)); };
        options.connect = [this] {
            auto client = std::make_unique<HeadsetClient>(
                DiscoveredDongle{DongleModel::h9, simulator.slavePath(), "SIM"},
                std::make_unique<SerialPort>(simulator.slavePath(), false));
            client->open();
            return client;
        };
        options.findDongles = [this] {
            return std::vector<DiscoveredDongle>{{DongleModel::h9, simulator.slavePath(), "SIM"}};
        };
        options.bluetoothLink = [] { return MacBluetoothLink{}; };
        options.trace = Trace({}, false);
        controller = std::make_unique<HeadsetController>(std::move(options));
        controller->setOnChange([this](const HeadsetSnapshot& s) { latest = s; });
        controller->start();
        main.runUntil([this] { return latest.availability.kind() == HeadsetSnapshot::Availability::Kind::connected; });
        simulator.waitForRequests(8);  // both syncs that follow a connect
        controller->waitUntilIdle();
    }

    sim::Simulator simulator;
    MainThread main;
    HeadsetSnapshot latest;
    std::unique_ptr<HeadsetController> controller;
};

using bench::reportPercentiles;

void BM_NotificationToOnChange(benchmark::State& state) {
    Rig rig;
    std::vector<double> latencies;
    std::uint8_t percent = 50;
    for (auto _ : state) {
        percent = percent == 50 ? 49 : 50;
        const auto start = SteadyClock::now();
        rig.simulator.change(EventID::batteryInfo, [=](sim::HeadsetModel& m) { m.battery.percent = percent; });
        rig.main.runUntil([&] { return rig.latest.batteryPercent == percent; });
        const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
        state.SetIterationTime(elapsed.count());
        latencies.push_back(elapsed.count() * 1000);
    }
    reportPercentiles(state, latencies);
}
BENCHMARK(BM_NotificationToOnChange)->UseManualTime()->Iterations(500)->Unit(benchmark::kMillisecond);

// The write is handed over at a random moment while the pump sleeps, waiting for input.
void BM_ApplyToFirstSetFrame(benchmark::State& state) {
    Rig rig;
    std::vector<double> latencies;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(20, 240);
    bool on = false;
    for (auto _ : state) {
        state.PauseTiming();
        rig.controller->waitUntilIdle();
        rig.simulator.clearRequests();
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        state.ResumeTiming();
        on = !on;
        const auto start = SteadyClock::now();
        rig.controller->apply({EventID::ledSetting},
                              [=](HeadsetClient& client) { client.setLEDSetting({.isOn = on}); });
        const auto frame = rig.simulator.waitForRequest([](const Packet& p) {
            return p.eventID == EventID::ledSetting && p.eventType == EventType::set;
        });
        if (!frame) {
            state.SkipWithError("the write never reached the simulator");
            break;
        }
        const std::chrono::duration<double> elapsed = frame->arrival - start;
        state.SetIterationTime(elapsed.count());
        latencies.push_back(elapsed.count() * 1000);
    }
    reportPercentiles(state, latencies);
}
BENCHMARK(BM_ApplyToFirstSetFrame)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace avrane

BENCHMARK_MAIN();
