// What a program that floods the application's D-Bus service costs the user beside it. On a
// private session bus, avrane-bar off screen on the simulated headset: Refresh calls sent
// without waiting for their answers, then `avranectl set volume 22` as a user types it.
//
//   --refreshes N  (default 5000) Refresh calls in the flood
//   --limit S      (default 900) seconds to watch the line at most
//   --delay S      (default 0.01) seconds the simulated headset takes to answer each request;
//                  it answers at once on its pty otherwise, which no radio link does
//
// Prints the requests the flood put on the line (counted until the line has been quiet for
// 3 s), how long the set took and how it ended, and when its write reached the line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTemporaryDir>

#include "AvraneSim/Simulator.h"
#include "Support/ApplicationOnABus.h"

namespace avrane {
namespace {

using Clock = std::chrono::steady_clock;
using namespace avrane::testing;
using namespace std::chrono_literals;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "CallerFloodFigures: %s\n", why.c_str());
    std::exit(1);
}

double secondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double>(end - start).count();
}

}  // namespace
}  // namespace avrane

int main(int argc, char** argv) {
    using namespace avrane;
    QCoreApplication application(argc, argv);
    int refreshes = 5000;
    double limit = 900;
    double delay = 0.01;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--refreshes") == 0) refreshes = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--limit") == 0) limit = std::atof(argv[i + 1]);
        if (std::strcmp(argv[i], "--delay") == 0) delay = std::atof(argv[i + 1]);
    }

    SessionBus bus;
    if (!bus.started()) fail(bus.started().message());
    sim::Simulator sim;
    sim.start();
    sim.updateFaults([delay](sim::Faults& f) { f.replyDelay = delay; });
    // When the user's write reached the line, in seconds from the flood's start.
    std::atomic<double> volumeWrittenAt{-1};
    Clock::time_point floodStart = Clock::now();
    sim.setRequestObserver([&](const sim::ReceivedRequest& request) {
        if (request.packet.eventType == EventType::set && request.packet.eventID == EventID::headphoneVolume &&
            volumeWrittenAt.load() < 0) {
            volumeWrittenAt = secondsSince(floodStart, request.arrival);
        }
    });
    QTemporaryDir home;
    const QProcessEnvironment env = applicationEnvironment(bus, home, sim.slavePath());

    ChildProcess app;
    if (!startConnected(app, AVRANE_BAR_PROGRAM, env)) fail("avrane-bar did not connect");
    if (!sim.waitUntilSent()) fail("the simulator did not settle");
    std::this_thread::sleep_for(1s);  // the application's start-up reads are over
    sim.clearRequests();

    QDBusConnection flooder = bus.connection();
    floodStart = Clock::now();
    for (int i = 0; i < refreshes; ++i) {
        flooder.send(QDBusMessage::createMethodCall("io.github.avranebar.AvraneBar", "/io/github/avranebar/AvraneBar",
                                                    "io.github.avranebar.AvraneBar", "Refresh"));
    }
    const double floodSent = secondsSince(floodStart);

    ChildProcess set;
    const auto setStart = Clock::now();
    set.start(AVRANECTL_PROGRAM, {"set", "volume", "22"}, env);
    const std::optional<int> status = set.waitForExit(std::chrono::milliseconds(static_cast<long long>(limit * 1000)));
    const double setSeconds = secondsSince(setStart);
    const QString setSaid = (set.output() + set.errorOutput()).trimmed();

    // The line until it has been quiet for 3 s.
    std::size_t count = sim.requestCount();
    auto lastChange = Clock::now();
    while (secondsSince(floodStart) < limit && secondsSince(lastChange) < 3) {
        std::this_thread::sleep_for(100ms);
        QCoreApplication::processEvents();
        if (const std::size_t now = sim.requestCount(); now != count) {
            count = now;
            lastChange = Clock::now();
        }
    }
    const double busyFor = secondsSince(floodStart, lastChange);

    std::printf("== %d Refresh calls sent without waiting (in %.2f s), then avranectl set volume 22; the headset answers in %.0f ms\n",
                refreshes, floodSent, delay * 1000);
    std::printf("  requests on the line after the flood: %zu, the last %.1f s after it began%s\n", count, busyFor,
                secondsSince(floodStart) >= limit ? " (still busy at the limit)" : "");
    std::printf("  avranectl set volume 22: exit %s after %.2f s%s%s\n",
                status ? std::to_string(*status).c_str() : "none (still running)", setSeconds,
                setSaid.isEmpty() ? "" : ": ", setSaid.toStdString().c_str());
    const double written = volumeWrittenAt.load();
    if (written < 0) {
        std::printf("  its write never reached the line\n");
    } else {
        std::printf("  its write reached the line %.2f s after the flood began (%.2f s after the set started)\n", written,
                    written - secondsSince(floodStart, setStart));
    }
    app.stop();
    return 0;
}
