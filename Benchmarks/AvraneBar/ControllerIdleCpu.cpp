// What an idle controller costs, with the simulated dongle attached and with no dongle at
// all: how often its threads wake (voluntary context switches of every thread but the one
// that measures) and the CPU time they use; and, after a while without a dongle, how long a
// dongle announced by the kernel takes to show as connected. The simulator runs in a child
// process so that only the controller's own threads are counted.
// Usage: ControllerIdleCpu [seconds per case, default 60]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneKit/Discovery/DeviceDiscovery.h"
#include "AvraneSim/DeviceEventFeed.h"
#include "AvraneSim/Simulator.h"

namespace {

using namespace avrane;
using Availability = HeadsetSnapshot::Availability;
using SteadyTime = std::chrono::steady_clock;

// All threads of this process, from the scheduler's own accounting (not sampled by ticks).
double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Voluntary context switches of each live thread, by name: each is one wake-up after a wait.
std::map<std::string, long> switchesByThread() {
    std::map<std::string, long> switches;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name, line;
        std::getline(std::ifstream(task.path() / "comm"), name);
        std::ifstream status(task.path() / "status");
        while (std::getline(status, line)) {
            if (line.starts_with("voluntary_ctxt_switches:")) switches[name] += std::stol(line.substr(24));
        }
    }
    return switches;
}

// Starts the simulator in a child; returns its pty path. The child ends when the parent
// closes its end of the pipe (or exits).
std::string startSimulatorProcess(int& keepAlive) {
    int path[2], alive[2];
    if (::pipe(path) != 0 || ::pipe(alive) != 0) std::exit(1);
    if (::fork() == 0) {
        ::close(path[0]);
        ::close(alive[1]);
        sim::Simulator simulator;
        simulator.start();
        const std::string slave = simulator.slavePath() + "\n";
        [[maybe_unused]] auto n = ::write(path[1], slave.data(), slave.size());
        char byte;
        while (::read(alive[0], &byte, 1) > 0) {
        }
        simulator.stop();
        std::_Exit(0);
    }
    ::close(path[1]);
    ::close(alive[0]);
    keepAlive = alive[1];
    std::string slave;
    char c;
    while (::read(path[0], &c, 1) == 1 && c != '\n') slave += c;
    ::close(path[0]);
    return slave;
}

// Stands for the main thread: the latest snapshot delivered, and a wait for one.
class Delivered {
public:
    void install(HeadsetController::Options& options) {
        options.runOnMainThread = [this](std::function<void()> work) {
            const std::lock_guard guard(lock_);
            work();
            changed_.notify_all();
        };
    }
    void follow(HeadsetController& controller) {
        controller.setOnChange([this](const HeadsetSnapshot& s) { latest_ = s; });  // under lock_
    }
    std::string shown() {
        const std::lock_guard guard(lock_);
        if (!latest_) return "nothing published";
        return latest_->availability.kind() == Availability::Kind::connected ? "connected" : latest_->availability.text();
    }
    bool waitForConnected(std::chrono::seconds limit) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, limit, [this] {
            return latest_ && latest_->availability.kind() == Availability::Kind::connected;
        });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::optional<HeadsetSnapshot> latest_;
};

void measureIdle(const char* name, HeadsetController::Options options, double seconds) {
    Delivered delivered;
    delivered.install(options);
    HeadsetController controller(std::move(options));
    delivered.follow(controller);
    controller.start();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // connect and the first syncs

    rusage ownBefore{}, ownAfter{};
    ::getrusage(RUSAGE_THREAD, &ownBefore);
    const auto threadsBefore = switchesByThread();
    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = processCpuSeconds() - cpuBefore;
    const auto threadsAfter = switchesByThread();
    ::getrusage(RUSAGE_THREAD, &ownAfter);

    // The measuring thread's own sleep is not the controller's.
    long wakeUps = -(ownAfter.ru_nvcsw - ownBefore.ru_nvcsw);
    std::string perThread;
    for (const auto& [thread, after] : threadsAfter) {
        const auto before = threadsBefore.find(thread);
        const long count = after - (before == threadsBefore.end() ? 0 : before->second);
        wakeUps += count;
        if (count > 0 && thread != "ControllerIdleC") perThread += (perThread.empty() ? "" : ", ") + thread + " " + std::to_string(count);
    }
    std::printf("%-20s %6.2f wake-ups/s (%ld in %.0f s: %s)\n", name, double(wakeUps) / seconds, wakeUps, seconds,
                perThread.empty() ? "none" : perThread.c_str());
    std::printf("%-20s %6.1f ms CPU = %.4f %% of one core  (%s)\n", "", cpu * 1000, cpu / seconds * 100,
                delivered.shown().c_str());
}

// The dongle is away for `seconds` (connect attempts back off to their longest wait), then
// appears and is announced, as the kernel would announce it.
void measurePlugIn(const std::string& slave, double seconds) {
    auto feed = std::make_shared<sim::DeviceEventFeed>();
    std::atomic<bool> plugged = false;
    const DiscoveredDongle dongle{DongleModel::h9, slave, "SIM"};
    HeadsetController::Options options;
    Delivered delivered;
    delivered.install(options);
    options.deviceEvents = feed;
    options.connect = [&]() -> std::unique_ptr<HeadsetClient> {
        if (!plugged) throw HeadsetClient::Failure::noDongleFound({});
        auto client = std::make_unique<HeadsetClient>(dongle, std::make_unique<SerialPort>(slave, false));
        client->open();
        return client;
    };
    options.findDongles = [&] { return plugged ? std::vector{dongle} : std::vector<DiscoveredDongle>{}; };
    HeadsetController controller(std::move(options));
    delivered.follow(controller);
    controller.start();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));

    const auto start = SteadyTime::now();
    plugged = true;
    feed->add(slave);
    if (!delivered.waitForConnected(std::chrono::seconds(60))) {
        std::printf("%-20s not connected within 60 s\n", "plug-in");
        return;
    }
    std::printf("%-20s %6.3f s from the announcement to the connected snapshot, after %.0f s without the dongle\n",
                "plug-in", std::chrono::duration<double>(SteadyTime::now() - start).count(), seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    int keepAlive = -1;
    const std::string slave = startSimulatorProcess(keepAlive);  // before any thread
    ::unsetenv("AVRANE_PORT");
    QCoreApplication app(argc, argv);  // the Bluetooth lookup asks the system bus
    std::printf("goals: at most 1 wake-up/s attached and 0.5 without a dongle, under 0.02 %% of a core,\n"
                "       plug-in to connected under 0.5 s\n");

    {
        // The pty stands for a discovered dongle (its presence is checked against the real
        // device tree, whose walk is part of the cost) but is opened without the dongle's
        // line settings.
        HeadsetController::Options options;
        options.connect = [&] {
            auto client = std::make_unique<HeadsetClient>(
                DiscoveredDongle{DongleModel::h9, slave, "SIM"}, std::make_unique<SerialPort>(slave, false));
            client->open();
            return client;
        };
        options.findDongles = [&] {
            auto found = DeviceDiscovery::findDongles(DongleModel::serialControlled);
            found.insert(found.begin(), DiscoveredDongle{DongleModel::h9, slave, "SIM"});
            return found;
        };
        measureIdle("simulator attached", std::move(options), seconds);
    }
    measureIdle("no dongle", HeadsetController::Options{}, seconds);
    measurePlugIn(slave, seconds);

    ::close(keepAlive);
    ::wait(nullptr);
    return 0;
}
