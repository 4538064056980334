// avranectl through the running application beside the same command on the port, and a
// headset notification to the PropertiesChanged signal a client sees. On a private session
// bus, with avrane-bar off screen on the simulated headset.
//
//   --runs N     (default 30) runs of each command, as whole processes: `avranectl --version`
//                (the floor of starting the process), `avranectl get volume` through the
//                application, and `avranectl --direct get volume` on the port (the application
//                is stopped for these, as it holds the line)
//   --samples N  (default 300) notifications timed to the signal
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTemporaryDir>
#include <QTimer>

#include "Percentiles.h"
#include "AvraneSim/Simulator.h"
#include "Support/ApplicationOnABus.h"

namespace avrane {
namespace {

using Clock = std::chrono::steady_clock;
using namespace avrane::testing;

using bench::percentile;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "ServiceFigures: %s\n", why.c_str());
    std::exit(1);
}

// One run of the tool, from fork to its exit, in milliseconds; its output must be `expected`.
double timeTool(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                const std::string& expected) {
    int out[2];
    if (::pipe(out) != 0) fail("no pipe");
    std::vector<char*> argv{const_cast<char*>(AVRANECTL_PROGRAM)};
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ::close(out[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text != expected) {
        fail("avranectl " + arguments.back() + " printed '" + text + "'");
    }
    return ms;
}

void report(const char* what, const std::vector<double>& ms) {
    std::printf("  %-44s median %6.2f ms, max %6.2f ms\n", what, percentile(ms, 0.5), percentile(ms, 1.0));
}

// Counts the service's PropertiesChanged signals as a client receives them.
class Listener : public QObject {
    Q_OBJECT

public:
    Clock::time_point last;
    int count = 0;

public slots:
    void changed(const QString&, const QVariantMap&, const QStringList&) {
        last = Clock::now();
        ++count;
    }
};

}  // namespace
}  // namespace avrane

int main(int argc, char** argv) {
    using namespace avrane;
    QCoreApplication application(argc, argv);
    int runs = 30, samples = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--samples") == 0) samples = std::atoi(argv[i + 1]);
    }

    SessionBus bus;
    if (!bus.started()) fail(bus.started().message());
    sim::Simulator sim;
    sim.start();
    QTemporaryDir home;
    const QProcessEnvironment env = applicationEnvironment(bus, home, sim.slavePath());
    std::vector<std::string> toolEnvironment;
    for (const QString& entry : env.toStringList()) toolEnvironment.push_back(entry.toStdString());

    ChildProcess app;
    if (!startConnected(app, AVRANE_BAR_PROGRAM, env)) fail("avrane-bar did not connect");

    std::vector<double> floor, service, direct;
    sim.waitUntilSent();
    const std::size_t requestsAtStart = sim.requestCount();
    for (int i = 0; i < runs; ++i) {
        floor.push_back(timeTool({"--version"}, toolEnvironment, "avranectl " AVRANE_VERSION "\n"));
        service.push_back(timeTool({"get", "volume"}, toolEnvironment, "15\n"));
    }
    const std::size_t requestsOfGets = sim.requestCount() - requestsAtStart;

    // A notification to the signal, seen by a client on the same bus.
    QDBusConnection client = bus.connection();
    Listener listener;
    client.connect("io.github.avranebar.AvraneBar", "/io/github/avranebar/AvraneBar", "org.freedesktop.DBus.Properties",
                   "PropertiesChanged", &listener, SLOT(changed(QString, QVariantMap, QStringList)));
    std::vector<double> latency;
    for (int i = 0; i < samples; ++i) {
        const int seen = listener.count;
        const std::uint8_t percent = std::uint8_t(20 + i % 60);
        const auto sent = Clock::now();
        sim.change(EventID::batteryInfo, [percent](sim::HeadsetModel& m) { m.battery.percent = percent; });
        QTimer guard;
        guard.start(5000);
        while (listener.count == seen && guard.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (listener.count == seen) fail("no PropertiesChanged within 5 s");
        latency.push_back(std::chrono::duration<double, std::milli>(listener.last - sent).count());
    }

    app.stop();
    for (int i = 0; i < runs; ++i) direct.push_back(timeTool({"--direct", "get", "volume"}, toolEnvironment, "15\n"));

    std::printf("== avranectl as whole processes, %d runs each\n", runs);
    report("avranectl --version (the floor)", floor);
    report("avranectl get volume through AvraneBar", service);
    report("avranectl --direct get volume on the pty", direct);
    std::printf("  through AvraneBar / floor: %.2fx (goal: at most 1.5x); requests on the line for its gets: %zu\n",
                percentile(service, 0.5) / percentile(floor, 0.5), requestsOfGets);
    std::printf("== a headset notification to PropertiesChanged at a client, %d samples\n", samples);
    std::printf("  median %.2f ms, p99 %.2f ms (goal: under 5 ms), max %.2f ms\n", percentile(latency, 0.5), percentile(latency, 0.99),
                percentile(latency, 1.0));
    return 0;
}

#include "ServiceFigures.moc"
