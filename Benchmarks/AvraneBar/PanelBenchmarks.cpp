// The panel's own costs on the main thread, with its real widgets shown off screen: a render
// of a snapshot that differs from the shown one in one field, a full first render, and a
// change of language. Each case reports the median, p99 and max of its iterations; the
// "painted" cases also let the event loop draw what the render marked, and count the paint
// events that took.
//
// The controller is never started: one full read from the simulated headset gives it the
// connected snapshot that a relabel renders again, and the benchmarks feed `render` directly.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "PercentileCounters.h"
#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Localization/Localization.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneSim/Simulator.h"
#include "Support/SimulatedController.h"
#include "AvraneUpdate/UpdateChecker.h"

namespace avrane {
namespace {

using SteadyClock = std::chrono::steady_clock;

double millisecondsSince(SteadyClock::time_point start, SteadyClock::time_point end = SteadyClock::now()) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

using bench::reportPercentiles;

// Counts the paint events of every widget, to show what a "painted" iteration drew.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return QObject::eventFilter(watched, event);
    }
};

// The panel as the application shows it, made once for all benchmarks.
struct Panel {
    Panel() {
        simulator.start();
        controller = std::make_unique<HeadsetController>(testing::simulatedControllerOptions(simulator));
        controller->setOnChange([](const HeadsetSnapshot&) {});
        controller->refresh();
        controller->waitUntilIdle();
        QCoreApplication::processEvents();
        connected = controller->snapshot();

        // Observers run in the order they were added: this one stamps the start of the panel's
        // relabel, after the language was saved.
        NotificationCenter::defaultCenter().observe(Localization::didChange, &stamps,
                                                    [this] { relabelStart = SteadyClock::now(); });
        content = new PanelViewController(*controller, updates);
        window = std::make_unique<MenuBarPanel>(content, UserDefaults(QDir(folder.path()).filePath("panel.conf")));
        content->render(connected);
        window->show();
        content->updateContentLimits();
        settle();
        qApp->installEventFilter(&paints);
    }

    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }

    QTemporaryDir folder;
    QObject stamps;
    SteadyClock::time_point relabelStart;
    sim::Simulator simulator;
    std::unique_ptr<HeadsetController> controller;
    UpdateChecker updates;
    PanelViewController* content = nullptr;  // owned by the window
    std::unique_ptr<MenuBarPanel> window;
    HeadsetSnapshot connected;
    PaintCounter paints;
};

Panel* rig = nullptr;  // made in main, after the application object

// A one-field change, as most notifications bring: the battery or the volume, back and forth.
HeadsetSnapshot changed(const HeadsetSnapshot& base, int field, bool other) {
    HeadsetSnapshot s = base;
    if (field == 0) {
        s.batteryPercent = other ? 79 : 80;
    } else {
        s.volume = HeadphoneVolume{false, std::uint8_t(other ? 16 : 15), std::uint8_t(other ? 53 : 50)};
    }
    return s;
}

// Renders the two snapshots in turn, each iteration timed with the drawing it causes when
// `painted`; `forget`: the panel first forgets what it showed, as a relabel does.
void timeRenders(benchmark::State& state, const HeadsetSnapshot (&snapshots)[2], bool painted, bool forget) {
    std::vector<double> times;
    times.reserve(std::size_t(state.max_iterations));
    const int paintsBefore = rig->paints.count;
    bool other = true;
    for (auto _ : state) {
        const auto start = SteadyClock::now();
        if (forget) rig->content->model().forgetShown();
        rig->content->render(snapshots[other]);
        if (painted) QCoreApplication::processEvents();
        const double elapsed = millisecondsSince(start);
        state.SetIterationTime(elapsed / 1000);
        times.push_back(elapsed);
        other = !other;
    }
    if (painted) state.counters["paints_per_iter"] = double(rig->paints.count - paintsBefore) / double(times.size());
    reportPercentiles(state, times);
}

void BM_RenderOneField(benchmark::State& state) {
    const int field = int(state.range(0));
    const bool painted = state.range(1) != 0;
    state.SetLabel(std::string(field == 0 ? "battery" : "volume") + (painted ? ", painted" : ""));
    const HeadsetSnapshot snapshots[] = {changed(rig->connected, field, false), changed(rig->connected, field, true)};
    rig->content->render(snapshots[0]);
    Panel::settle();
    timeRenders(state, snapshots, painted, false);
}
BENCHMARK(BM_RenderOneField)
    ->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1})
    ->UseManualTime()->Iterations(5000)->Unit(benchmark::kMicrosecond);

// Every value the headset reports, changed (the noise-cancelling mode kept, so that no row
// appears or goes).
HeadsetSnapshot everyValueChanged(const HeadsetSnapshot& base) {
    HeadsetSnapshot s = base;
    const auto flip = [](bool value) { return !value; };
    s.batteryPercent = std::uint8_t(*base.batteryPercent > 50 ? 35 : 85);
    s.batteryCharging = flip(base.batteryCharging.value_or(false));
    s.volume = HeadphoneVolume{false, std::uint8_t(base.volume->level > 15 ? 8 : 24), 0};
    s.balance = GameChatBalance(std::uint8_t(base.balance->rawValue > 50 ? 30 : 70));
    s.sidetone = SidetoneVolume{std::uint8_t(base.sidetone->level > 5 ? 2 : 8), 0};
    s.micMuted = flip(base.micMuted.value_or(false));
    s.ambient->ambientLevel = std::uint8_t(base.ambient->ambientLevel > 10 ? 4 : 16);
    s.ambient->voiceFocus = flip(base.ambient->voiceFocus);
    s.bluetooth = BluetoothStatus{BluetoothStatus::Power::on, base.bluetooth->link == BluetoothStatus::Link::connected
                                                                  ? BluetoothStatus::Link::unconnected
                                                                  : BluetoothStatus::Link::connected};
    s.bluetoothSoundMode = *base.bluetoothSoundMode == BluetoothSoundMode::connectionPriority
                               ? BluetoothSoundMode::soundQualityPriority
                               : BluetoothSoundMode::connectionPriority;
    s.bluetoothStartupMode = *base.bluetoothStartupMode == BluetoothStartupMode::on ? BluetoothStartupMode::off
                                                                                      : BluetoothStartupMode::on;
    s.ncStartupMode = *base.ncStartupMode == NoiseCancellingStartupMode::off ? NoiseCancellingStartupMode::ambientSound
                                                                             : NoiseCancellingStartupMode::off;
    s.autoPowerOff = *base.autoPowerOff == AutoPowerOff::after60Minutes ? AutoPowerOff::after5Minutes
                                                                         : AutoPowerOff::after60Minutes;
    s.led = LEDSetting{flip(base.led->isOn)};
    return s;
}

// Everything shown again, as after the panel was forgotten (a relabel does it): with the
// values already on screen, with every value changed, and coming from no dongle (the
// headset's cards appear).
void BM_FirstRender(benchmark::State& state) {
    const int kind = int(state.range(0));
    const bool painted = state.range(1) != 0;
    state.SetLabel(std::string(kind == 0 ? "same values" : kind == 1 ? "every value changed" : "from no dongle") +
                   (painted ? ", painted" : ""));
    // Step by step: g++ 12 took a nested choice between snapshot copies for a use of an
    // uninitialised string (-Wmaybe-uninitialized).
    HeadsetSnapshot second = kind == 1 ? everyValueChanged(rig->connected) : rig->connected;
    if (kind == 2) {
        second = HeadsetSnapshot();
        second.availability = HeadsetSnapshot::Availability::noDongle("no dongle found");
    }
    const HeadsetSnapshot snapshots[] = {rig->connected, second};
    rig->content->render(rig->connected);
    Panel::settle();
    timeRenders(state, snapshots, painted, true);
    rig->content->render(rig->connected);
    Panel::settle();
}
BENCHMARK(BM_FirstRender)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

// A change of language as the panel's menu makes it: the choice is saved (to disk, synced),
// then the announcement relabels the panel. The iteration is the whole call; "save_" counters
// are the save alone and "relabel_" ones the panel's part, stamped by observers on either side
// of the panel's own. The first switch to
// Korean, which loads its fonts, is reported apart ("first_ms") and not in the iterations.
// "painted" also lets the event loop lay out and draw the new texts.
void BM_Relabel(benchmark::State& state) {
    const bool painted = state.range(0) != 0;
    if (painted) state.SetLabel("painted");
    Localization& texts = Localization::shared();
    texts.setLanguage(Language::english);
    Panel::settle();
    std::vector<double> panelPart, savePart;
    QObject stamps;
    // Added after the panel's own observer, so it runs once the panel is relabelled.
    NotificationCenter::defaultCenter().observe(Localization::didChange, &stamps,
                                                [&] { panelPart.push_back(millisecondsSince(rig->relabelStart)); });
    const auto switchTo = [&](Language language) {
        const auto start = SteadyClock::now();
        texts.setLanguage(language);
        savePart.push_back(millisecondsSince(start, rig->relabelStart));
        if (painted) QCoreApplication::processEvents();
        return millisecondsSince(start);
    };
    static bool koreanSeen = false;
    if (!koreanSeen) {
        state.counters["first_ms"] = switchTo(Language::korean);
        switchTo(Language::english);
        koreanSeen = true;
    }
    panelPart.clear();
    savePart.clear();
    std::vector<double> times;
    bool korean = true;
    for (auto _ : state) {
        const double elapsed = switchTo(korean ? Language::korean : Language::english);
        state.SetIterationTime(elapsed / 1000);
        times.push_back(elapsed);
        korean = !korean;
    }
    reportPercentiles(state, times);
    reportPercentiles(state, savePart, "save_");
    reportPercentiles(state, panelPart, "relabel_");
    texts.setLanguage(Language::english);
}
BENCHMARK(BM_Relabel)->Arg(0)->Arg(1)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace avrane

int main(int argc, char** argv) {
    // The offscreen platform warns of what it leaves out (at every change of the window's size
    // limits, for one); the warning itself would be most of what such a render costs here.
    static const QtMessageHandler standard = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.startsWith(QLatin1String("This plugin does not support"))) standard(type, context, message);
    });
    // Settings of its own, never the user's; drawn off screen unless told otherwise.
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    avrane::Panel panel;
    avrane::rig = &panel;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    avrane::rig = nullptr;
    return 0;
}
