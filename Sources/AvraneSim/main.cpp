// avrane-sim: a simulated AVRANE dongle and headset on a pseudo-terminal, driven by line
// commands on standard input. Point the program at it with AVRANE_PORT=<path>.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "AvraneSim/CommandShell.h"
#include "AvraneSim/LivelyScenario.h"
#include "AvraneSim/Simulator.h"

namespace {

constexpr const char* usage =
    "usage: avrane-sim [--link PATH] [--scenario lively]\n"
    "  Simulates an AVRANE dongle with its headset on a pseudo-terminal and prints its path.\n"
    "  --link PATH        keep a symbolic link at PATH to the current device (it follows\n"
    "                     re-plugs)\n"
    "  --scenario lively  the headset changes by itself: the battery drains a percent every\n"
    "                     3 s (and recharges when low), the volume buttons are pressed every\n"
    "                     7 s, the noise-cancelling button every 11 s\n"
    "Then reads commands from standard input (help lists them) until quit, Ctrl-C or a\n"
    "termination signal.\n";

std::mutex outputMutex;

void printLine(const std::string& line) {
    const std::lock_guard lock(outputMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    if (line.empty() || line.back() != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    avrane::sim::Simulator::Options options;
    bool lively = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--link" && i + 1 < argc) {
            options.linkPath = argv[++i];
        } else if (arg == "--scenario" && i + 1 < argc && std::string(argv[i + 1]) == "lively") {
            lively = true;
            ++i;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }

    // Signals are taken through a descriptor, blocked before the simulator's thread starts
    // so that it inherits the mask and only this loop sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("avrane-sim: signalfd");
        return 1;
    }

    avrane::sim::Simulator simulator(options);
    try {
        simulator.start();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "avrane-sim: %s\n", error.what());
        return 1;
    }
    const std::string device =
        options.linkPath.empty() ? simulator.slavePath() : options.linkPath.string();
    printLine(simulator.slavePath());
    if (!options.linkPath.empty()) printLine("link: " + options.linkPath.string());
    printLine("Point the program at it with AVRANE_PORT=" + device + "; type help for commands.");

    using Clock = avrane::sim::LivelyScenario::Clock;
    std::unique_ptr<avrane::sim::LivelyScenario> scenario;
    if (lively) {
        scenario = std::make_unique<avrane::sim::LivelyScenario>(
            simulator, Clock::now(), avrane::sim::LivelyScenario::Periods{}, printLine);
        printLine("Scenario lively: the headset changes by itself every few seconds.");
    }

    avrane::sim::CommandShell shell(simulator, printLine);
    std::string pending;
    bool inputOpen = true;
    bool running = true;
    while (running) {
        int timeoutMs = -1;
        if (scenario) {
            const auto wait = scenario->advance(Clock::now()) - Clock::now();
            timeoutMs = std::max(0, static_cast<int>(std::ceil(
                                        std::chrono::duration<double, std::milli>(wait).count())));
        }
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = poll(fds, inputOpen ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0) continue;
        if (fds[0].revents & POLLIN) break;
        if (!inputOpen || !(fds[1].revents & (POLLIN | POLLHUP))) continue;
        char buffer[1024];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // End of input: keep simulating until a signal arrives.
            inputOpen = false;
            if (!pending.empty()) running = shell.execute(pending);
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; running && (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            running = shell.execute(line);
        }
    }
    simulator.stop();
    close(signalFd);
    return 0;
}
