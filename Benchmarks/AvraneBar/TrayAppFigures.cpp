// avrane-bar beside BareTrayProgram (a tray icon and an empty window, nothing else), each on
// a desktop of its own: Xvfb, trayer and a private session bus, with the simulated headset
// standing still.
//
//   --runs N     (default 5) launches of each program, alternating: the time from starting
//                the process to its first painted tray icon and to its window (avrane-bar's
//                panel) mapped, and its peak resident size (VmHWM) once it has settled and its
//                update helper, if it started one, has ended; meanwhile, every few
//                milliseconds, whether the program maps the network or TLS libraries.
//   --idle S     (default 0, none) the CPU time (utime+stime) each uses over S seconds, with
//                avrane-bar's panel closed by a click on its icon; per thread for avrane-bar.
//   --samples N  (default 300) a headset notification to avrane-bar's redrawn tray icon,
//                timed inside a child of this program that runs the application's own objects
//                on such a desktop.
//
// A figure of 0 runs or samples skips that part.
#include <sys/types.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "Percentiles.h"
#include "AvraneBar/App/AppDelegate.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/StatusItem/MenuBarController.h"
#include "AvraneSim/Simulator.h"
#include "Support/DesktopSession.h"
#include "Support/X11Display.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using namespace avrane::testing;
using SteadyClock = std::chrono::steady_clock;

double millisecondsSince(SteadyClock::time_point start, SteadyClock::time_point end = SteadyClock::now()) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

using bench::percentile;
double median(const std::vector<double>& values) { return percentile(values, 0.5); }
double maximum(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "TrayAppFigures: %s\n", why.c_str());
    std::exit(1);
}

// ---- /proc

QByteArray procFile(qint64 pid, const QString& name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A "Name:   1234 kB" line of /proc/<pid>/status, in KiB.
long statusKiB(qint64 pid, const char* name) {
    const QByteArray status = procFile(pid, QStringLiteral("status"));
    const qsizetype at = status.indexOf(QByteArray(name) + ':');
    if (at < 0) return -1;
    const qsizetype end = status.indexOf('\n', at);
    return status.mid(at + qsizetype(std::strlen(name)) + 1, end - at).trimmed().split(' ').value(0).toLong();
}

// utime + stime of a /proc/.../stat file, in seconds (the kernel counts them in ticks).
double statCpuSeconds(const QByteArray& stat) {
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

// The resident size of each kind of mapping in /proc/<pid>/smaps, in KiB: by file name for
// libraries, fonts and other files, "[heap]" and "[anon]" for memory of the program's own.
std::map<std::string, long> residentByMappingOf(qint64 pid) {
    std::map<std::string, long> sizes;
    std::string current;
    for (const QByteArray& line : procFile(pid, QStringLiteral("smaps")).split('\n')) {
        if (line.isEmpty()) continue;
        if (line.startsWith("Rss:")) {
            sizes[current] += line.mid(4).trimmed().split(' ').value(0).toLong();
        } else if (std::isxdigit(static_cast<unsigned char>(line[0])) && line.contains('-')) {
            // "start-end perms offset dev inode [path]"
            const QList<QByteArray> fields = line.simplified().split(' ');
            const QByteArray path = fields.size() > 5 ? fields.mid(5).join(' ') : QByteArray("[anon]");
            current = path.startsWith('[') ? path.toStdString() : path.mid(path.lastIndexOf('/') + 1).toStdString();
        }
    }
    return sizes;
}

struct ThreadCpu {
    std::string name;
    double seconds = 0;
};

// The run time of each thread in nanoseconds (schedstat), keyed by thread id.
std::map<QString, ThreadCpu> threadCpu(qint64 pid) {
    std::map<QString, ThreadCpu> threads;
    for (const QString& tid : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray schedstat = procFile(pid, QStringLiteral("task/%1/schedstat").arg(tid));
        const QByteArray comm = procFile(pid, QStringLiteral("task/%1/comm").arg(tid)).trimmed();
        threads[tid] = {comm.toStdString(), double(schedstat.split(' ').value(0).toLongLong()) / 1e9};
    }
    return threads;
}

// ---- the desktop

// Reads pixels of the screen without the cost of a whole screenshot.
class ScreenArea {
public:
    explicit ScreenArea(const QString& display) {
        connection_ = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        if (!xcb_connection_has_error(connection_)) root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~ScreenArea() { xcb_disconnect(connection_); }
    ScreenArea(const ScreenArea&) = delete;
    ScreenArea& operator=(const ScreenArea&) = delete;

    // Whether every pixel of `area` has one colour: nothing drawn there yet, only a background.
    bool isPlain(const QRect& area) const {
        if (area.isEmpty()) return true;
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, int16_t(area.x()), int16_t(area.y()),
                          uint16_t(area.width()), uint16_t(area.height()), ~0u),
            nullptr);
        if (!image) return true;
        // Xvfb's 24-bit screens keep a pixel in 32 bits.
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
        const int count = xcb_get_image_data_length(image) / 4;
        bool plain = true;
        for (int i = 1; i < count && plain; ++i) plain = (pixels[i] & 0xFFFFFF) == (pixels[0] & 0xFFFFFF);
        std::free(image);
        return plain;
    }

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
};

struct Desktop {
    SessionBus bus;
    XvfbDisplay display;
    Trayer tray{display};
    QTemporaryDir home, runtime;

    void check() const {
        for (const DesktopPart* part : std::initializer_list<const DesktopPart*>{&bus, &display, &tray}) {
            if (const auto started = part->started(); !started) fail(started.message());
        }
    }
    QProcessEnvironment environment(const std::string& port) const {
        QProcessEnvironment env = childEnvironment({&bus, &display});
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("AVRANE_PORT"), QString::fromStdString(port));
        return env;
    }
};

// ---- start-up and memory

struct Program {
    std::string label;
    QString path;
    QString instance;     // WM_CLASS instance of its windows
    QString windowTitle;
    QString readyText;    // on its stderr once it shows what it will show; empty: nothing to wait for
    QStringList environment;  // NAME=value added
    QByteArray settings;      // its settings file, when not the defaults
};

struct Launch {
    double iconMs = 0;    // start to the first painted tray icon
    double windowMs = 0;  // start to the window mapped
    long peakKiB = 0;
    double resolutionMs = 0;  // the longest time between two checks
    int mapsLooks = 0, looksWhileHelperRan = 0;
    std::set<std::string> networkLibraries;  // ever seen in its maps
    long helperPeakKiB = 0;                   // of its child processes, 0 when none was seen
};

const char* const networkLibraries[] = {"libssl", "libcrypto", "libQt6Network"};

// A program started on a desktop of its own, until its icon is painted, its window shown, its
// ready text written and its peak resident size steady for a second.
class Running {
public:
    Running(const Program& program, const std::string& port)
        : x_(desktop_.display.name()), screen_(desktop_.display.name()) {
        desktop_.check();
        QProcessEnvironment env = desktop_.environment(port);
        if (!program.settings.isEmpty()) {
            const QDir config(env.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/avrane"));
            QFile file(config.filePath(QStringLiteral("AvraneBar.conf")));
            if (!config.mkpath(QStringLiteral(".")) || !file.open(QIODevice::WriteOnly) || file.write(program.settings) < 0)
                fail("cannot write " + file.fileName().toStdString());
        }
        for (const QString& pair : program.environment) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        start_ = SteadyClock::now();
        if (!child_.start(program.path, {}, env)) fail(child_.started().message());

        // Each moment is taken halfway between the last check that did not see it and the
        // first that did; checks follow each other every few milliseconds.
        std::optional<double> icon, window;
        double previous = 0;
        while (!icon || !window) {
            const double checked = millisecondsSince(start_);
            if (!icon) {
                const auto icons = x_.embeddedWindows(program.instance);
                if (!icons.empty() && !screen_.isPlain(icons.front().geometry)) {
                    icon = (previous + checked) / 2;
                    iconArea_ = icons.front().geometry;
                }
            }
            if (!window) {
                const auto shown = x_.window(program.windowTitle);
                if (shown && shown->viewable) window = (previous + checked) / 2;
            }
            observe();
            launch_.resolutionMs = std::max(launch_.resolutionMs, checked - previous);
            previous = checked;
            if (millisecondsSince(start_) > 20'000) fail(program.label + ": no painted icon and shown window within 20 s");
            // The pause between checks, cut short if the program ends.
            if (child_.waitForExit(2ms)) fail(program.label + " ended: " + child_.errorOutput().toStdString());
        }
        launch_.iconMs = *icon;
        launch_.windowMs = *window;
        windowShownAt_ = start_ + std::chrono::microseconds(long(*window * 1000));

        if (!program.readyText.isEmpty() &&
            !child_.waitFor([&] { return child_.errorOutput().contains(program.readyText); },
                            QString::fromStdString(program.label) + " to write " + program.readyText))
            fail(child_.started().message());
        long peak = statusKiB(pid(), "VmHWM");
        auto steadySince = SteadyClock::now();
        for (bool helperRuns = true; helperRuns || millisecondsSince(steadySince) < 1000;) {
            if (millisecondsSince(start_) > 30'000) fail(program.label + ": its peak resident size never settled");
            child_.waitForExit(20ms);
            helperRuns = observe();
            const long now = statusKiB(pid(), "VmHWM");
            if (now != peak) {
                peak = now;
                steadySince = SteadyClock::now();
            }
        }
        launch_.peakKiB = peak;
        residentByMapping_ = residentByMappingOf(pid());
    }

    const Launch& launch() const { return launch_; }
    const std::map<std::string, long>& residentByMapping() const { return residentByMapping_; }
    qint64 pid() const { return child_.processId(); }
    bool isRunning() const { return child_.isRunning(); }
    X11Display& x() { return x_; }
    const QRect& iconArea() const { return iconArea_; }
    SteadyClock::time_point windowShownAt() const { return windowShownAt_; }
    bool waitFor(const std::function<bool()>& condition, const QString& what) { return child_.waitFor(condition, what); }
    std::string failure() const { return child_.started().message(); }

private:
    // Looks at the program's maps and its children (the update helper); true while a child runs.
    bool observe() {
        const QByteArray maps = procFile(pid(), QStringLiteral("maps"));
        ++launch_.mapsLooks;
        for (const char* library : networkLibraries) {
            if (maps.contains(library)) launch_.networkLibraries.insert(library);
        }
        bool helperRuns = false;
        for (const QByteArray& child : procFile(pid(), QStringLiteral("task/%1/children").arg(pid())).split(' ')) {
            if (child.trimmed().isEmpty()) continue;
            helperRuns = true;
            launch_.helperPeakKiB = std::max(launch_.helperPeakKiB, statusKiB(child.trimmed().toLongLong(), "VmHWM"));
        }
        launch_.looksWhileHelperRan += helperRuns;
        return helperRuns;
    }

    Desktop desktop_;
    X11Display x_;
    ScreenArea screen_;
    ChildProcess child_;
    SteadyClock::time_point start_, windowShownAt_;
    QRect iconArea_;
    Launch launch_;
    std::map<std::string, long> residentByMapping_;
};

// Where avrane-bar's resident memory goes beyond the bare program's, the largest first.
void printMemoryDifference(const Program& reference, const std::map<std::string, long>& bare, const Program& program,
                           const std::map<std::string, long>& app) {
    // Memory of the program's own ("[heap]", "[anon]", stacks) apart from mapped files
    // (libraries and fonts, shared with other programs on a real desktop).
    const auto totals = [](const std::map<std::string, long>& sizes) {
        std::pair<double, double> ownAndFiles{0, 0};
        for (const auto& [name, kib] : sizes) (name.starts_with('[') ? ownAndFiles.first : ownAndFiles.second) += double(kib) / 1024;
        return ownAndFiles;
    };
    std::vector<std::pair<long, std::string>> differences;
    for (const auto& [name, kib] : app) {
        const auto other = bare.find(name);
        differences.emplace_back(kib - (other == bare.end() ? 0 : other->second), name);
    }
    for (const auto& [name, kib] : bare) {
        if (!app.contains(name)) differences.emplace_back(-kib, name);
    }
    std::sort(differences.begin(), differences.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const auto [bareOwn, bareFiles] = totals(bare);
    const auto [appOwn, appFiles] = totals(app);
    std::printf("\n  resident after the first launch (smaps Rss), %s against %s: anonymous %.1f against %.1f MiB,\n"
                "  mapped files %.1f against %.1f MiB; the largest differences:\n",
                program.label.c_str(), reference.label.c_str(), appOwn, bareOwn, appFiles, bareFiles);
    for (std::size_t i = 0; i < differences.size() && i < 12 && differences[i].first > 0; ++i)
        std::printf("    %+8.1f MiB  %s\n", double(differences[i].first) / 1024, differences[i].second.c_str());
}

// `programs` launched in turn, `runs` times each; each after the first is compared with the first.
void startupFigures(const std::vector<Program>& programs, const std::string& port, int runs) {
    std::vector<std::vector<Launch>> launches(programs.size());
    std::vector<std::map<std::string, long>> mappings(programs.size());
    for (int run = 0; run < runs; ++run) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const Running running(programs[p], port);
            const Launch& l = running.launch();
            std::printf("  %-28s run %d: icon %5.1f ms, window %5.1f ms (checked every %4.1f ms or less), peak %5.1f MiB\n",
                        programs[p].label.c_str(), run + 1, l.iconMs, l.windowMs, l.resolutionMs, double(l.peakKiB) / 1024);
            std::fflush(stdout);
            launches[p].push_back(l);
            if (run == 0) mappings[p] = running.residentByMapping();
        }
    }
    const auto column = [&](std::size_t p, auto field) {
        std::vector<double> values;
        for (const Launch& l : launches[p]) values.push_back(double(field(l)));
        return values;
    };
    const auto icon = [](const Launch& l) { return l.iconMs; };
    const auto window = [](const Launch& l) { return l.windowMs; };
    const auto peak = [](const Launch& l) { return double(l.peakKiB) / 1024; };
    std::printf("\n  %-28s %-22s %-22s %s\n", "median / max", "first painted icon", "window shown", "peak RSS (VmHWM)");
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("  %-28s %6.1f / %6.1f ms   %6.1f / %6.1f ms   %6.1f / %6.1f MiB\n", programs[p].label.c_str(),
                    median(column(p, icon)), maximum(column(p, icon)), median(column(p, window)), maximum(column(p, window)),
                    median(column(p, peak)), maximum(column(p, peak)));
    }
    std::printf("  medians against %s (goals: icon <= 1.5x, window <= 2x, peak RSS <= 1.3x)\n", programs[0].label.c_str());
    for (std::size_t p = 1; p < programs.size(); ++p) {
        const auto ratio = [&](auto field) { return median(column(p, field)) / median(column(0, field)); };
        std::printf("  %-28s %6.2fx                %6.2fx                %6.2fx, %+.1f MiB\n", programs[p].label.c_str(),
                    ratio(icon), ratio(window), ratio(peak), median(column(p, peak)) - median(column(0, peak)));
    }
    // The goal that the application never maps the network or TLS libraries, with the update
    // helper's own peak (a process of its own, ended within the launch).
    std::printf("\n  %-28s %-34s %s\n", "network and TLS libraries", "in its maps (looks, while a helper ran)",
                "update helper: launches, peak RSS median / max");
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::set<std::string> mapped;
        int looks = 0, whileHelper = 0;
        std::vector<double> helperPeaks;
        for (const Launch& l : launches[p]) {
            mapped.insert(l.networkLibraries.begin(), l.networkLibraries.end());
            looks += l.mapsLooks;
            whileHelper += l.looksWhileHelperRan;
            if (l.helperPeakKiB > 0) helperPeaks.push_back(double(l.helperPeakKiB) / 1024);
        }
        std::string seen;
        for (const std::string& library : mapped) seen += (seen.empty() ? "" : ", ") + library;
        char looked[64];
        std::snprintf(looked, sizeof looked, " (%d, %d)", looks, whileHelper);
        std::printf("  %-28s %-34s %zu", programs[p].label.c_str(), ((seen.empty() ? "never" : seen) + looked).c_str(),
                    helperPeaks.size());
        if (!helperPeaks.empty()) std::printf(", %.1f / %.1f MiB", median(helperPeaks), maximum(helperPeaks));
        std::printf("\n");
    }
    for (std::size_t p = 1; p < programs.size(); ++p) printMemoryDifference(programs[0], mappings[0], programs[p], mappings[p]);
}

// ---- idle

void idleFigures(const Program& bare, const Program& app, const std::string& port, double seconds) {
    Running bareRun(bare, port);
    Running appRun(app, port);
    // As a user would close it: a click on the icon, not in the first 0.3 s after it opened.
    std::this_thread::sleep_until(appRun.windowShownAt() + 400ms);
    if (!appRun.x().click(appRun.iconArea().center())) fail("cannot click the tray icon (xdotool)");
    if (!appRun.waitFor([&] {
            const auto panel = appRun.x().window(QStringLiteral("AVRANE H9"));
            return panel && !panel->viewable;
        }, QStringLiteral("the panel to close")))
        fail(appRun.failure());
    // The pointer leaves the icon, so no tool tip stays up.
    if (!appRun.x().click({20, 780}, 3)) fail("cannot move the pointer away (xdotool)");

    const auto start = SteadyClock::now();
    const double bareBefore = statCpuSeconds(procFile(bareRun.pid(), QStringLiteral("stat")));
    const double appBefore = statCpuSeconds(procFile(appRun.pid(), QStringLiteral("stat")));
    const auto appThreadsBefore = threadCpu(appRun.pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));  // the measured period
    const double bareUsed = statCpuSeconds(procFile(bareRun.pid(), QStringLiteral("stat"))) - bareBefore;
    const double appUsed = statCpuSeconds(procFile(appRun.pid(), QStringLiteral("stat"))) - appBefore;
    const auto appThreadsAfter = threadCpu(appRun.pid());
    const double elapsed = millisecondsSince(start) / 1000;
    if (!appRun.isRunning() || !bareRun.isRunning()) fail("a program ended while idle");
    const auto panel = appRun.x().window(QStringLiteral("AVRANE H9"));
    if (panel && panel->viewable) fail("the panel opened again while idle");

    std::printf("  %-16s %7.0f ms CPU in %.0f s = %.4f %% of one core\n", bare.label.c_str(), bareUsed * 1000, elapsed,
                bareUsed / elapsed * 100);
    std::printf("  %-16s %7.0f ms CPU in %.0f s = %.4f %% of one core (goal < 0.1 %%), panel closed\n",
                app.label.c_str(), appUsed * 1000, elapsed, appUsed / elapsed * 100);
    // utime and stime count whole ticks; the scheduler's own figures per thread are exact.
    double threadsUsed = 0;
    std::string lines;
    for (const auto& [tid, after] : appThreadsAfter) {
        const auto before = appThreadsBefore.find(tid);
        const double used = after.seconds - (before == appThreadsBefore.end() ? 0 : before->second.seconds);
        threadsUsed += used;
        char line[128];
        std::snprintf(line, sizeof line, "    %-16s %8.1f ms%s\n", after.name.c_str(), used * 1000,
                      before == appThreadsBefore.end() ? " (started meanwhile)" : "");
        lines += line;
    }
    std::printf("  its threads by schedstat (those that ended meanwhile not counted): %.1f ms = %.4f %%\n%s",
                threadsUsed * 1000, threadsUsed / elapsed * 100, lines.c_str());
}

// ---- a notification to the redrawn icon, in the child

int iconLatencyChild(int argc, char** argv, int samples) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    sim::Simulator simulator;
    simulator.start();
    qputenv("AVRANE_PORT", QByteArray::fromStdString(simulator.slavePath()));

    const auto runUntil = [](const std::function<bool()>& done, std::chrono::milliseconds deadline) {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        check.start(5);
        QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
        if (!done()) loop.exec();
        return done();
    };

    AppDelegate delegate;
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    const bool ready = runUntil([&] {
        const MenuBarController* bar = delegate.menuBar();
        return bar && bar->hasTray() && bar->renderedTitle().value_or(QString()).contains('%') &&
               delegate.controller().snapshot().availability.kind() == HeadsetSnapshot::Availability::Kind::connected;
    }, 20s);
    if (!ready) fail("the application never showed the simulated headset's battery in a tray icon");
    MenuBarController& bar = *delegate.menuBar();
    if (bar.panel()->isVisible()) bar.toggle();
    delegate.controller().waitUntilIdle();

    std::optional<SteadyClock::time_point> redrawnAt;
    QObject::connect(&bar, &MenuBarController::iconRedrawn, [&] {
        if (!redrawnAt) redrawnAt = SteadyClock::now();
    });
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pause(10, 60);
    std::vector<double> latencies;
    std::uint8_t percent = 60;
    for (int i = 0; i < samples; ++i) {
        // The notification comes at any moment of the controller's read wait.
        runUntil([] { return false; }, std::chrono::milliseconds(pause(random)));
        percent = percent == 60 ? 59 : 60;
        redrawnAt.reset();
        const auto start = SteadyClock::now();
        simulator.change(EventID::batteryInfo, [=](sim::HeadsetModel& m) { m.battery.percent = percent; });
        if (!runUntil([&] { return redrawnAt.has_value(); }, 2s)) fail("no redrawn icon within 2 s of a notification");
        latencies.push_back(millisecondsSince(start, *redrawnAt));
    }
    std::printf("  %d samples: median %.3f ms, p99 %.3f ms (goal < 5 ms), max %.3f ms\n", samples, median(latencies),
                percentile(latencies, 0.99), maximum(latencies));
    return 0;
}

void iconLatencyFigures(const char* self, int samples) {
    const Desktop desktop;
    desktop.check();
    ChildProcess child;
    if (!child.start(QString::fromLocal8Bit(self), {QStringLiteral("--icon-latency-child"), QString::number(samples)},
                     desktop.environment({})))
        fail(child.started().message());
    const auto exit = child.waitForExit(std::chrono::milliseconds(30'000 + samples * 200));
    std::fputs(child.output().toLocal8Bit().constData(), stdout);
    if (exit != 0) fail("the latency run failed: " + child.errorOutput().toStdString());
}

}  // namespace
}  // namespace avrane

int main(int argc, char** argv) {
    using namespace avrane;
    if (argc == 3 && std::strcmp(argv[1], "--icon-latency-child") == 0) return iconLatencyChild(argc, argv, std::atoi(argv[2]));

    int runs = 5, samples = 300;
    double idleSeconds = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--idle") == 0) {
            idleSeconds = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--samples") == 0) {
            samples = std::atoi(argv[i + 1]);
        } else {
            fail(std::string("unknown option ") + argv[i] + " (--runs N, --idle SECONDS, --samples N)");
        }
    }
    if (argc % 2 == 0) fail("every option takes a value (--runs N, --idle SECONDS, --samples N)");

    QCoreApplication app(argc, argv);
    sim::Simulator simulator;
    simulator.start();
    const Program bare{"BareTrayProgram", QStringLiteral(BARE_TRAY_PROGRAM), QStringLiteral("BareTrayProgram"),
                       QStringLiteral("Bare tray window"), {}, {}, {}};
    // Its diagnostic lines say when it has read the headset.
    const Program bar{"avrane-bar", QStringLiteral(AVRANE_BAR_PROGRAM), QStringLiteral("avrane-bar"),
                      QStringLiteral("AVRANE H9"), QStringLiteral("Z  connected"), {QStringLiteral("AVRANE_BAR_LOG=1")}, {}};
    // The same without the update check of its first launch (the user's choice "never"): what
    // the network and TLS libraries add.
    Program barWithoutUpdates = bar;
    barWithoutUpdates.label = "avrane-bar, no update check";
    barWithoutUpdates.settings = "[General]\nupdate.checkInterval=never\n";

    if (runs > 0) {
        std::printf("== start-up and peak memory, %d launches each on Xvfb + trayer\n", runs);
        startupFigures({bare, bar, barWithoutUpdates}, simulator.slavePath(), runs);
    }
    if (idleSeconds > 0) {
        std::printf("\n== CPU over %.0f s idle, both at once, the headset still\n", idleSeconds);
        idleFigures(bare, bar, simulator.slavePath(), idleSeconds);
    }
    if (samples > 0) {
        std::printf("\n== a headset notification to the redrawn tray icon (iconRedrawn), panel closed\n");
        iconLatencyFigures(argv[0], samples);
    }
    return 0;
}
