#include "Soak/SoakRun.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "AvraneKit/Client/SettingTable.h"
#include "AvraneSim/LivelyScenario.h"
#include "AvraneSim/Simulator.h"
#include "Percentiles.h"
#include "Soak/Callers.h"
#include "Soak/ApplicationUnderTest.h"
#include "Soak/CatchUp.h"
#include "Soak/EventWait.h"
#include "Soak/FaultPlan.h"
#include "Soak/PanelHand.h"
#include "Soak/ProcessFigures.h"
#include "Soak/ProgramRuns.h"
#include "Soak/PublishedState.h"
#include "Soak/ServiceMirror.h"
#include "Soak/WarningTally.h"
#include "Soak/WriteLedger.h"
#include "Support/DesktopSession.h"
#include "Support/X11Display.h"

namespace avrane::soak {
namespace {

using namespace std::chrono_literals;
using namespace avrane::testing;
using bench::percentile;

// The goal for catching up after a fault.
constexpr auto catchUpGoal = 2s;

double secondsOf(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string secondsText(Clock::duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", secondsOf(d));
    return text;
}

std::string clockText(Clock::duration sinceStart) {
    const long seconds = std::clamp(long(secondsOf(sinceStart)), 0L, 99'999L);
    char text[32];
    std::snprintf(text, sizeof text, "%2ld:%02ld", seconds / 60, seconds % 60);
    return text;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
    return text;
}

// The two writing callers and the settings each owns: nobody else writes their items. The
// panel's sidetone and light are the hand's.
const std::map<int, std::vector<std::string>> writers{
    {1, {"volume", "balance", "auto-power-off", "bt-sound"}},
    {2, {"anc", "ambient-level", "voice-focus", "bt-startup", "nc-startup"}},
};

std::map<EventID, int> ownerOfItems() {
    std::map<EventID, int> owners;
    for (const auto& [caller, settings] : writers) {
        for (const std::string& setting : settings) owners[findSetting(setting)->item] = caller;
    }
    return owners;
}

struct RunFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// ---- the published state against the simulated headset

// Compares what the application publishes with the simulator's model whenever either may
// have changed, and keeps the time it takes to catch up.
class StateWatch {
public:
    StateWatch(const ServiceMirror& mirror, const sim::Simulator& simulator) : mirror_(mirror), simulator_(simulator) {}

    // Looks now; whether they are equal.
    bool check() {
        const Properties expected = expectedProperties(simulator_.model());
        difference_ = describeDifferences(mirror_.properties(), expected);
        catchUp_.observe(Clock::now(), difference_);
        return difference_.empty();
    }
    // What differs now, with both values.
    const std::string& differing() const { return difference_; }
    CatchUp& catchUp() { return catchUp_; }

private:
    const ServiceMirror& mirror_;
    const sim::Simulator& simulator_;
    std::string difference_;
    CatchUp catchUp_;
};

struct EpisodeResult {
    Episode episode;
    Clock::time_point ended;
    std::optional<Clock::duration> caughtUp;
    // What still differed at the end of the calm when it never caught up, or what differed
    // last when it took longer than the goal.
    std::string differing;
};

// ---- the run

class Soak {
public:
    explicit Soak(const SoakOptions& options)
        : options_(options), random_(options.seed), plan_(options.seed), x_(display_.name()) {}

    int run();

private:
    void startDesktop();
    void startSimulator();
    void startApplication();
    void startCallers();
    void runEpisodes();
    void stopCallers();
    void sample();
    int report();
    void problem(const QString& text) {
        problems_.push_back(text.toStdString());
        std::printf("  %s  problem: %s\n", clockText(Clock::now() - start_).c_str(), text.toLocal8Bit().constData());
        std::fflush(stdout);
    }
    void takeWrites() {
        std::vector<LineWrite> writes;
        {
            const std::lock_guard lock(writesLock_);
            writes.swap(writes_);
        }
        for (LineWrite& write : writes) ledger_.recordWrite(std::move(write));
    }
    void checkAlive() {
        if (application_ && application_->endedByItself())
            throw RunFailed("avrane-bar ended by itself (" + application_->ending().toStdString() + ")");
    }

    SoakOptions options_;
    std::mt19937 random_;
    FaultPlan plan_;

    SessionBus bus_;
    XvfbDisplay display_;
    Trayer tray_{display_};
    X11Display x_;
    QTemporaryDir home_;

    // Before the simulator, whose thread fills them until it stops.
    std::mutex writesLock_;
    std::vector<LineWrite> writes_;  // stored by the simulator, not yet in the ledger
    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<sim::LivelyScenario> lively_;
    QTimer livelyTimer_;

    WriteLedger ledger_{ownerOfItems()};
    std::unique_ptr<ApplicationUnderTest> application_;
    std::unique_ptr<StateWatch> watch_;  // outlives the mirror, which calls it
    std::unique_ptr<ServiceMirror> mirror_;
    QTimer watchTimer_;
    std::unique_ptr<ProgramRuns> runs_;
    std::unique_ptr<CallerContext> context_;
    std::vector<std::unique_ptr<SetCaller>> setCallers_;
    std::unique_ptr<ReadCaller> reader_;
    std::vector<std::unique_ptr<Follower>> followers_;
    std::unique_ptr<Refresher> refresher_;
    std::unique_ptr<PanelHand> panel_;

    Clock::time_point start_;
    QTimer sampleTimer_;
    std::optional<ProcessSample> launch_, baseline_, final_;
    std::string baselineDescriptors_, finalDescriptors_, baselineThreads_, finalThreads_;
    Clock::time_point baselineAt_, finalAt_;
    long peakKiB_ = 0;
    int minDescriptors_ = 1 << 30, maxDescriptors_ = 0, minThreads_ = 1 << 30, maxThreads_ = 0;
    bool faultActive_ = false;
    Clock::time_point nextFault_;  // when the next episode's faults begin

    std::vector<EpisodeResult> episodes_;
    std::vector<std::string> problems_;
    std::optional<std::string> failure_;
    std::optional<QString> applicationEnding_;
};

void Soak::startDesktop() {
    for (const DesktopPart* part : std::initializer_list<const DesktopPart*>{&bus_, &display_, &tray_}) {
        if (const auto started = part->started(); !started) throw RunFailed(started.message());
    }
    if (!home_.isValid()) throw RunFailed("no temporary folder");
}

void Soak::startSimulator() {
    sim::Simulator::Options options;
    options.linkPath = home_.filePath(QStringLiteral("dongle")).toStdString();
    simulator_ = std::make_unique<sim::Simulator>(options);
    simulator_->setRequestObserver([this](const sim::ReceivedRequest& request) {
        if (!request.accepted) return;
        const std::lock_guard lock(writesLock_);
        writes_.push_back({request.packet.eventID, request.packet.param, request.arrival});
    });
    simulator_->start();
    // The headset lives: its battery drains, its buttons are pressed now and then.
    lively_ = std::make_unique<sim::LivelyScenario>(*simulator_, Clock::now(), sim::LivelyScenario::Periods{}, nullptr,
                                                    options_.seed);
    livelyTimer_.setSingleShot(true);
    QObject::connect(&livelyTimer_, &QTimer::timeout, [this] {
        const auto next = lively_->advance(Clock::now());
        livelyTimer_.start(std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()) + 1ms);
    });
    livelyTimer_.start(0);
}

void Soak::startApplication() {
    QProcessEnvironment environment = childEnvironment({&bus_, &display_});
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home_.filePath(QStringLiteral("cache")));
    const QString runtime = home_.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("AVRANE_PORT"), QString::fromStdString(simulator_->linkPath().string()));
    environment.insert(QStringLiteral("AVRANE_BAR_LOG"), QStringLiteral("1"));
    environment.insert(QStringLiteral("AVRANE_BAR_OPEN"), QStringLiteral("1"));
    // The panel in English, whatever this machine speaks: the hand finds its controls by
    // their titles.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));

    application_ = std::make_unique<ApplicationUnderTest>(QDir(options_.logFolder).filePath(QStringLiteral("avrane-bar.log")));
    if (const auto why = application_->start(environment)) throw RunFailed(*why);

    mirror_ = std::make_unique<ServiceMirror>(bus_.connection());
    watch_ = std::make_unique<StateWatch>(*mirror_, *simulator_);
    mirror_->onChange = [this] { watch_->check(); };
    const auto owned = [this] {
        checkAlive();
        return bus_.connection().interface()->isServiceRegistered(QStringLiteral("io.github.avranebar.AvraneBar")).value();
    };
    if (!runUntil(owned, 30s)) throw RunFailed("avrane-bar did not take its name on the session bus within 30 s");
    if (!mirror_->readAll()) throw RunFailed("avrane-bar's service did not answer GetAll");
    if (!runUntil([this] { checkAlive(); return watch_->check(); }, 30s))
        throw RunFailed("avrane-bar did not show the simulated headset within 30 s: " + watch_->differing());
    // The layout dump comes 1.5 s after the start.
    if (!runUntil([this] { checkAlive(); return !application_->tally().layoutDump().empty(); }, 15s))
        throw RunFailed("avrane-bar wrote no layout dump (AVRANE_BAR_OPEN=1) within 15 s");
    runFor(500ms);  // the rest of the dump
    QObject::connect(&watchTimer_, &QTimer::timeout, [this] { watch_->check(); });
    watchTimer_.start(10);
}

void Soak::startCallers() {
    QProcessEnvironment environment = childEnvironment({&bus_});
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("DISPLAY"), display_.name());
    runs_ = std::make_unique<ProgramRuns>(environment);
    context_ = std::make_unique<CallerContext>(CallerContext{*runs_, QStringLiteral(AVRANECTL_PROGRAM), random_, ledger_,
                                                             [this](const QString& text) { problem(text); }});
    for (const auto& [caller, settings] : writers) setCallers_.push_back(std::make_unique<SetCaller>(*context_, caller, settings));
    reader_ = std::make_unique<ReadCaller>(*context_);
    followers_.push_back(std::make_unique<Follower>(
        *context_, QStringLiteral("avranectl --json watch --follow"),
        QStringList{QStringLiteral("--json"), QStringLiteral("watch"), QStringLiteral("--follow")}));
    followers_.push_back(std::make_unique<Follower>(
        *context_, QStringLiteral("avranectl status --waybar --follow"),
        QStringList{QStringLiteral("status"), QStringLiteral("--waybar"), QStringLiteral("--follow")}));
    refresher_ = std::make_unique<Refresher>(*context_, bus_.connection());
    // A build with sanitizers draws a good deal slower.
    panel_ = std::make_unique<PanelHand>(
        *runs_, x_, display_.size(), random_, options_.correctnessOnly ? 10s : 3s,
        [this] {
            const auto availability = mirror_->properties().find("Availability");
            return availability != mirror_->properties().end() && availability->second == "connected" && !faultActive_ &&
                   Clock::now() + 1500ms < nextFault_;
        },
        [this](const QString& text) { problem(text); });
    if (const auto why = panel_->learn(application_->tally().layoutDump())) throw RunFailed("the panel's layout: " + *why);

    for (auto& follower : followers_) follower->start();
    for (auto& caller : setCallers_) caller->start();
    reader_->start();
    refresher_->start();
    panel_->start();
}

void Soak::sample() {
    const auto taken = sampleProcess(application_->pid());
    if (!taken) return;
    const auto now = Clock::now();
    if (!launch_) launch_ = taken;
    const bool calm = !faultActive_ && watch_->catchUp().settled(now) && panel_ && panel_->closed();
    if (!baseline_ && now - start_ >= options_.warmUp && calm) {
        baseline_ = taken;
        baselineAt_ = now;
        baselineDescriptors_ = describeDescriptors(application_->pid());
        baselineThreads_ = describeThreads(application_->pid());
    }
    if (baseline_) {
        peakKiB_ = std::max(peakKiB_, taken->residentKiB);
        minDescriptors_ = std::min(minDescriptors_, taken->descriptors);
        maxDescriptors_ = std::max(maxDescriptors_, taken->descriptors);
        minThreads_ = std::min(minThreads_, taken->threads);
        maxThreads_ = std::max(maxThreads_, taken->threads);
    }
}

void Soak::runEpisodes() {
    // The last episode ends early enough for its calm and the callers' last calls.
    const auto stopAt = start_ + options_.length - 15s;
    while (Clock::now() + 8s < stopAt) {
        EpisodeResult result{plan_.next(), {}, {}, {}};
        const Episode& episode = result.episode;
        const auto begun = Clock::now();
        // Each fault's start and end, in time order.
        std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> steps;
        for (const Fault& fault : episode.faults) {
            steps.emplace_back(fault.startsAfter, [this, &fault] {
                if (fault.kind == FaultKind::unplugged) ledger_.recordUnplug(Clock::now());
                begin(*simulator_, fault);
            });
            steps.emplace_back(fault.endsAfter(), [this, &fault] { end(*simulator_, fault); });
        }
        std::stable_sort(steps.begin(), steps.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        faultActive_ = true;
        watch_->catchUp().faultsBegin();
        for (const auto& step : steps) {
            const auto due = begun + step.first;
            runUntil([&] { checkAlive(); return Clock::now() >= due; }, 60s);
            step.second();
        }
        faultActive_ = false;
        result.ended = Clock::now();
        watch_->catchUp().faultsEnded(result.ended);
        watch_->check();
        const auto calmUntil = result.ended + episode.calm;
        nextFault_ = calmUntil;
        runUntil([&] { checkAlive(); takeWrites(); return Clock::now() >= calmUntil; }, 60s);
        watch_->check();
        result.caughtUp = watch_->catchUp().caughtUp(Clock::now());
        char line[512];
        if (result.caughtUp) {
            if (*result.caughtUp > catchUpGoal) result.differing = watch_->catchUp().lastDifference();
            std::snprintf(line, sizeof line, "caught up in %.2f s%s%s", secondsOf(*result.caughtUp),
                          result.differing.empty() ? "" : ": ", result.differing.c_str());
        } else {
            result.differing = watch_->differing();
            std::snprintf(line, sizeof line, "NOT caught up within %.0f s: %s", secondsOf(episode.calm),
                          result.differing.c_str());
        }
        std::printf("  %s  %-44s %s\n", clockText(result.ended - start_).c_str(), episode.description().c_str(), line);
        std::fflush(stdout);
        episodes_.push_back(std::move(result));
    }
}

void Soak::stopCallers() {
    for (auto& caller : setCallers_) caller->stop();
    reader_->stop();
    refresher_->stop();
    panel_->stop();
    const bool quiet = runUntil([&] {
        checkAlive();
        return std::none_of(setCallers_.begin(), setCallers_.end(), [](const auto& c) { return c->busy(); }) &&
               !reader_->busy() && panel_->closed();
    }, 60s);
    if (!quiet) problem(QStringLiteral("the callers did not come to rest within 60 s of being stopped"));
}

int Soak::run() {
    std::printf("== avrane-bar under faults for %lld min (seed %u); the application's output goes to %s\n",
                (long long)(options_.length.count() / 60), options_.seed,
                QDir(options_.logFolder).filePath(QStringLiteral("avrane-bar.log")).toLocal8Bit().constData());
    std::fflush(stdout);
    try {
        startDesktop();
        startSimulator();
        startApplication();
        start_ = Clock::now();
        QObject::connect(&sampleTimer_, &QTimer::timeout, [this] { sample(); });
        sampleTimer_.start(1000);
        sample();
        startCallers();
        runEpisodes();
        stopCallers();
        // Late writes land meanwhile; then the application must show the headset as it is.
        watch_->catchUp().faultsBegin();  // the end is judged on its own below
        const bool caughtUp = runUntil([&] { checkAlive(); takeWrites(); return watch_->check(); }, 30s);
        if (!caughtUp) problem(QStringLiteral("at the end the published state still differs: %1")
                                   .arg(QString::fromStdString(watch_->differing())));
        runFor(5s);
        takeWrites();
        checkAlive();
        final_ = sampleProcess(application_->pid());
        finalAt_ = Clock::now();
        finalDescriptors_ = describeDescriptors(application_->pid());
        finalThreads_ = describeThreads(application_->pid());
        // The status bar's last line against what the application publishes, once the bar
        // has had its time to print it.
        const auto barPercent = [&]() -> std::optional<std::pair<int, int>> {
            const auto& waybar = followers_[1]->last();
            if (!waybar || !mirror_->properties().contains("BatteryPercent")) return std::nullopt;
            return std::pair(waybar->value(QStringLiteral("percentage")).toInt(-1),
                             std::stoi(mirror_->properties().at("BatteryPercent")));
        };
        // The headset lives on, so a battery step may come between any look and the bar's
        // stop: the bar must come to show the application's battery, not be caught at it.
        const bool barCaughtUp =
            runUntil([&] { const auto shown = barPercent(); return !shown || shown->first == shown->second; }, 30s);
        if (const auto shown = barPercent(); !barCaughtUp && shown) {
            problem(QStringLiteral("status --waybar --follow still shows %1 % 30 s after the callers stopped, while the"
                                   " application shows %2 %").arg(shown->first).arg(shown->second));
        }
        for (auto& follower : followers_) follower->stop();
        runUntil([&] { return std::none_of(followers_.begin(), followers_.end(), [](const auto& f) { return f->running(); }); }, 15s);
        sampleTimer_.stop();
        if (const QString ending = application_->stop(); !ending.isEmpty()) applicationEnding_ = ending;
    } catch (const RunFailed& error) {
        failure_ = error.what();
    }
    if (runs_) runs_->finishAll(10s);
    takeWrites();
    return report();
}

// ---- the figures

int Soak::report() {
    const bool judgeTiming = !options_.correctnessOnly;
    std::vector<std::string> missed;
    const auto goal = [&](bool met, const std::string& name) {
        if (!met) missed.push_back(name);
        return met ? "" : "   <- MISSED";
    };
    const auto info = [&](bool judged, bool met, const std::string& name) {
        return judged ? goal(met, name) : (met ? "" : "   (not judged in this form)");
    };
    const double minutes = secondsOf(Clock::now() - start_) / 60;
    std::printf("\n== figures of %.1f minutes, %zu fault episodes\n", minutes, episodes_.size());
    if (failure_) {
        std::printf("  THE RUN FAILED: %s\n", failure_->c_str());
        missed.push_back("the run itself");
        if (application_) {
            std::printf("  the application's last lines:\n");
            for (const std::string& line : application_->lastLines()) std::printf("    %s\n", line.c_str());
        }
    }

    // Memory, descriptors, threads, CPU.
    if (baseline_ && final_) {
        const double base = double(baseline_->residentKiB) / 1024, peak = double(peakKiB_) / 1024,
                     last = double(final_->residentKiB) / 1024;
        std::printf("  resident size      at launch %.1f MiB; after the warm-up (%.0f s in) %.1f MiB, peak %.1f MiB, final %.1f MiB:"
                    " %+.2f MiB (goal: at most +1 MiB)%s\n",
                    double(launch_->residentKiB) / 1024, secondsOf(baselineAt_ - start_), base, peak, last, last - base,
                    info(judgeTiming, last - base <= 1.0, "resident size"));
        std::printf("  descriptors        at launch %d; start %d, end %d (between %d and %d)%s\n", launch_->descriptors,
                    baseline_->descriptors, final_->descriptors, minDescriptors_, maxDescriptors_,
                    goal(final_->descriptors == baseline_->descriptors, "descriptors"));
        std::printf("  threads            at launch %d; start %d, end %d (between %d and %d)%s\n", launch_->threads,
                    baseline_->threads, final_->threads, minThreads_, maxThreads_, goal(final_->threads == baseline_->threads, "threads"));
        if (final_->threads != baseline_->threads) {
            std::printf("      at the start:\n%s      at the end:\n%s", baselineThreads_.c_str(), finalThreads_.c_str());
        }
        const double cpu = (final_->cpuSeconds - baseline_->cpuSeconds) / secondsOf(finalAt_ - baselineAt_) * 100;
        std::printf("  CPU                %.1f %% of one core from the warm-up's end to the end (the machine is shared:"
                    " other work slows it)\n", cpu);
        if (final_->descriptors != baseline_->descriptors) {
            std::printf("      at the start:\n%s      at the end:\n%s", baselineDescriptors_.c_str(), finalDescriptors_.c_str());
        }
    } else if (!failure_) {
        std::printf("  no calm moment after the warm-up to measure from: the run was too short\n");
        missed.push_back("the run's length");
    }
    if (simulator_) {
        const std::size_t requests = simulator_->requestCount();
        std::printf("  requests on the line  %zu (%.1f a second)\n", requests, double(requests) / (minutes * 60));
    }

    // Writes.
    const WriteLedger::Tally tally = ledger_.tally();
    std::printf("  user writes        asked %d, confirmed %d, reported failed %d, silently lost %zu (goal: 0)%s\n", tally.asked,
                tally.confirmed, tally.failed, tally.lost.size(), goal(tally.lost.empty(), "silently lost writes"));
    for (const auto& lost : tally.lost) {
        std::printf("      %s  set %s %s: %s (%s)\n", clockText(lost.call.start - start_).c_str(), lost.call.setting.c_str(),
                    lost.call.value.c_str(), lost.why.c_str(), lost.call.message.c_str());
    }
    if (tally.lateRepeats > 0) std::printf("      and %d confirmed writes stored again later\n", tally.lateRepeats);
    std::printf("  unconfirmed        %zu writes told that the headset may have taken them (the dongle pulled out before"
                " its answer came); it had taken %d\n", tally.unconfirmed.size(), tally.unconfirmedStored);
    for (const SetCall& call : tally.unconfirmed) {
        std::printf("      %s  set %s %s (%s)\n", clockText(call.start - start_).c_str(), call.setting.c_str(), call.value.c_str(),
                    call.message.c_str());
    }
    std::printf("  writes nobody asked for  %zu%s\n", tally.unexplained.size(), goal(tally.unexplained.empty(), "unexplained writes"));
    int panelWrites = 0;
    for (const auto& [item, count] : tally.othersWrites) panelWrites += count;
    if (panel_) {
        std::printf("  panel              opened %d times, closed %d, %d moves of its controls, %d writes of them stored\n",
                    panel_->opened(), panel_->closedCount(), panel_->moves(), panelWrites);
        // A hand that never reached its controls tested nothing of them: say why.
        if (panel_->movesAtAnotherSize() > 0) {
            std::printf("      %d moves left out: the panel stood %dx%d (last seen), not %dx%d as laid out at the start\n",
                        panel_->movesAtAnotherSize(), panel_->anotherSize().width(), panel_->anotherSize().height(),
                        panel_->laidOut().width(), panel_->laidOut().height());
        }
        if (panel_->movesNearAFault() > 0)
            std::printf("      %d moves left out: no headset shown, or a fault near\n", panel_->movesNearAFault());
    }

    // Catching up.
    std::map<std::string, std::vector<double>> byKind;
    std::vector<double> all;
    int never = 0;
    for (const EpisodeResult& e : episodes_) {
        if (!e.caughtUp) {
            ++never;
            continue;
        }
        all.push_back(secondsOf(*e.caughtUp));
        for (const Fault& fault : e.episode.faults) byKind[std::string(caseName(fault.kind))].push_back(secondsOf(*e.caughtUp));
    }
    std::printf("  catching up        from the end of each episode's faults to the published state equal to the simulator's:\n");
    std::printf("      %-18s %8s %9s %9s\n", "fault", "episodes", "max", "p99");
    for (const auto& [kind, times] : byKind) {
        std::printf("      %-18s %8zu %8.2fs %8.2fs\n", kind.c_str(), times.size(), percentile(times, 1.0), percentile(times, 0.99));
    }
    std::printf("      %-18s %8zu %8.2fs %8.2fs (goal: within %llds)%s\n", "all", all.size(), percentile(all, 1.0),
                percentile(all, 0.99), (long long)catchUpGoal.count(),
                info(judgeTiming, percentile(all, 1.0) <= secondsOf(catchUpGoal), "catching up within 2 s"));
    std::printf("      never caught up before the next episode: %d%s\n", never, info(judgeTiming, never == 0, "catching up at all"));
    for (const EpisodeResult& e : episodes_) {
        if (e.caughtUp && *e.caughtUp <= catchUpGoal) continue;
        std::printf("        %s  %s: %s %s\n", clockText(e.ended - start_).c_str(), e.episode.description().c_str(),
                    e.caughtUp ? ("after " + secondsText(*e.caughtUp) + ";").c_str() : "never;", e.differing.c_str());
    }

    // Warnings, crashes, callers.
    if (application_) {
        const WarningTally& warnings = application_->tally();
        const auto repeated = warnings.repeatedWithinAMinute();
        std::printf("  Qt warnings        %d, of %zu kinds; printed again within a minute: %zu%s\n", warnings.warningCount(),
                    warnings.warnings().size(), repeated.size(), goal(repeated.empty(), "warnings at most once a minute"));
        for (const auto& w : warnings.warnings()) std::printf("      %4dx  %s\n", w.count, w.text.c_str());
        std::printf("  diagnostic lines  ");
        for (const auto& [kind, count] : warnings.diagnostics()) std::printf(" %s %d", kind.c_str(), count);
        std::printf("\n");
    }
    const bool crashed = (application_ && application_->endedByItself()) || applicationEnding_.has_value();
    std::printf("  crashes            %d%s%s\n", crashed ? 1 : 0,
                applicationEnding_ ? (" (at the end: " + applicationEnding_->toStdString() + ")").c_str() : "",
                goal(!crashed, "crashes"));
    if (reader_) {
        std::printf("  reads              ");
        for (const auto& [kind, counts] : reader_->outcomes()) std::printf(" %s: %d ok, %d failed;", kind.c_str(), counts.first, counts.second);
        std::printf("\n");
    }
    if (refresher_) std::printf("  Refresh calls      %d answered, %d refused\n", refresher_->answered(), refresher_->refused());
    for (const auto& follower : followers_) std::printf("  %-36s %d lines\n", follower->name().toLocal8Bit().constData(), follower->lines());
    std::printf("  faults met by callers  %zu%s\n", problems_.size(), goal(problems_.empty(), "callers' problems"));

    if (missed.empty()) {
        std::printf("\n== every goal judged was met\n");
        return 0;
    }
    std::printf("\n== goals missed: %s\n", joined(missed).c_str());
    return 1;
}

}  // namespace

int runSoak(const SoakOptions& options) {
    catchTerminationSignals();
    try {
        Soak soak(options);
        return soak.run();
    } catch (const Interrupted& interrupted) {
        std::printf("\nInterrupted; everything started is stopped.\n");
        return 128 + interrupted.signal;
    }
}

}  // namespace avrane::soak
