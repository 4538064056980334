// CPU time an idle controller uses, with the simulated dongle attached and with no dongle at
// all. The simulator runs in a child process so that only the controller's own threads are
// counted. Usage: ControllerIdleCpu [seconds per case, default 60]
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneKit/Discovery/DeviceDiscovery.h"
#include "AvraneSim/Simulator.h"

namespace {

using namespace avrane;

// All threads of this process, from the scheduler's own accounting (not sampled by ticks).
double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
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

void measure(const char* name, HeadsetController::Options options, double seconds) {
    std::mutex lock;
    std::vector<HeadsetSnapshot> delivered;  // stands in for the main thread's rendering
    options.runOnMainThread = [&](std::function<void()> work) {
        const std::lock_guard guard(lock);
        work();
    };
    HeadsetController controller(std::move(options));
    controller.setOnChange([&](const HeadsetSnapshot& s) { delivered.push_back(s); });
    controller.start();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // connect and the first syncs
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double used = processCpuSeconds() - before;
    std::string shown;
    {
        const std::lock_guard guard(lock);
        shown = delivered.empty() ? "nothing published"
                                  : delivered.back().availability.kind() ==
                                            HeadsetSnapshot::Availability::Kind::connected
                                        ? "connected"
                                        : delivered.back().availability.text();
    }
    std::printf("%-20s %7.1f ms CPU in %.0f s = %.4f %% of one core  (%s)\n", name, used * 1000,
                seconds, used / seconds * 100, shown.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    int keepAlive = -1;
    const std::string slave = startSimulatorProcess(keepAlive);  // before any thread
    ::unsetenv("AVRANE_PORT");
    QCoreApplication app(argc, argv);  // the Bluetooth lookup asks the system bus

    {
        // The pty stands for a discovered dongle (its presence is checked every 2 s against
        // the real device tree, whose walk is part of the cost) but is opened without the
        // dongle's line settings.
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
        measure("simulator attached", std::move(options), seconds);
    }
    ::close(keepAlive);
    ::wait(nullptr);

    measure("no dongle", HeadsetController::Options{}, seconds);
    return 0;
}
