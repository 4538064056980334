#include <gmock/gmock.h>

#include <algorithm>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "AvraneSim/Simulator.h"
#include "Support/AccessibilityBus.h"
#include "Support/ApplicationOnABus.h"
#include "Support/QtTestSupport.h"
#include "Support/X11Display.h"

namespace avrane {
namespace {

using namespace avrane::testing;
using State = AccessibleState;

const QString panelTitle = QStringLiteral("AVRANE H9");
// The name the application goes by on the accessibility bus, as everywhere on the desktop.
const QString applicationId = QStringLiteral("io.github.avranebar.AvraneBar");

// A view of the layout dump, where it is on the screen.
struct DumpedView {
    QString className;
    QRect frame;
};

// The views of the layout dump (AVRANE_BAR_OPEN=1) in tree order, each frame made absolute
// from its parents' and the panel's.
std::vector<DumpedView> dumpedViews(const QString& output) {
    static const QRegularExpression header(R"(^--- panel \d+x\d+ at (-?\d+),(-?\d+),)");
    static const QRegularExpression view(R"(^( *)(\w+)  (\d+)x(\d+) at (-?\d+),(-?\d+))");
    std::vector<DumpedView> views;
    std::vector<QPoint> origins;
    for (const QString& line : output.split(u'\n')) {
        if (const auto match = header.match(line); match.hasMatch()) {
            views.clear();
            origins = {QPoint(match.captured(1).toInt(), match.captured(2).toInt())};
            continue;
        }
        const auto match = view.match(line);
        if (!match.hasMatch() || origins.empty()) continue;
        const std::size_t depth = std::size_t(match.captured(1).size() / 2);
        if (depth + 1 > origins.size()) continue;
        origins.resize(depth + 1);
        const QRect frame(origins.back() + QPoint(match.captured(5).toInt(), match.captured(6).toInt()),
                          QSize(match.captured(3).toInt(), match.captured(4).toInt()));
        views.push_back({match.captured(2), frame});
        origins.push_back(frame.topLeft());
    }
    return views;
}

// avrane-bar on an X display with an XEmbed tray and the accessibility bus, on the simulated
// headset, in English, with its diagnostic lines and layout dump on.
class PanelOnDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        QDir(home.path()).mkpath("config/avrane");
        writeFile(home.filePath("config/avrane/AvraneBar.conf"), "[General]\nlanguage=english\n");
        ASSERT_TRUE(bus.started() && display.started() && tray.started() && accessibility.started());
        QProcessEnvironment env = applicationEnvironment({&bus, &display, &accessibility}, home, sim.slavePath());
        env.insert("AVRANE_BAR_OPEN", "1");
        app.start(AVRANE_BAR_PROGRAM, {}, env);
        ASSERT_TRUE(app.started());
        ASSERT_TRUE(app.waitFor([&] { return app.errorOutput().contains("Z  connected"); }, "the headset"));
        // The tray takes the icon in, and the panel becomes the drop-down (a window made anew).
        ASSERT_TRUE(app.waitFor([&] { return !x.embeddedWindows("avrane-bar").empty(); }, "the icon to embed"));
        ASSERT_TRUE(app.waitFor([&] {
            const auto panel = x.window(panelTitle);
            return panel && panel->viewable && x.inputFocus() == panel->id;
        }, "the panel to open and take the keyboard"));
        ASSERT_TRUE(app.waitFor([&] { return (tree = accessibility.application(applicationId)) && tree->find("slider", "Volume"); },
                                "the panel on the accessibility bus"));
    }
    const AccessibleNode& node(const QString& role, const QString& name) {
        const AccessibleNode* found = tree->find(role, name);
        if (!found) ADD_FAILURE() << "no " << role.toStdString() << " named " << name.toStdString();
        static const AccessibleNode none;
        return found ? *found : none;
    }
    bool reread() { return bool(tree = accessibility.application(applicationId)); }
    // What the labels named `name` label (a card's title labels nothing).
    QStringList labelled(const QString& name) const {
        QStringList all;
        for (const AccessibleNode* label : tree->all("label")) {
            if (label->name == name) all << label->labelFor;
        }
        return all;
    }
    std::size_t writesOf(EventID item) {
        std::size_t count = 0;
        for (const auto& request : sim.requests()) count += request.packet.eventType == EventType::set && request.packet.eventID == item;
        return count;
    }

    sim::Simulator sim;
    QTemporaryDir home;
    SessionBus bus;
    XvfbDisplay display;
    Trayer tray{display};
    AccessibilityBus accessibility{bus};
    X11Display x{display.name()};
    ChildProcess app;
    std::optional<AccessibleNode> tree;
};

// A wheel turned over the volume slider (which the panel usually focuses as it opens), over
// the noise-cancelling mode and over the language menu scrolls the card list and changes
// nothing on the headset; the slider takes the wheel once clicked.
TEST_F(PanelOnDesktop, aWheelScrollsTheListAndTheTaskbarSwitchMakesAWindow) {
    ASSERT_TRUE(app.waitFor([&] { return app.errorOutput().count(QRegularExpression("\n +QPushButton ")) >= 4; },
                            "the layout dump"));
    std::vector<QRect> sliders, popUps, gauges;
    for (const DumpedView& view : dumpedViews(app.errorOutput())) {
        if (view.className == "ValueSlider") sliders.push_back(view.frame);
        if (view.className == "PopUpButton") popUps.push_back(view.frame);
        if (view.className == "BatteryBar") gauges.push_back(view.frame);
    }
    ASSERT_EQ(sliders.size(), 4u);
    ASSERT_FALSE(popUps.empty());
    ASSERT_EQ(gauges.size(), 1u);
    sim.clearRequests();
    const QPoint volume = sliders.front().center(), mode = popUps.front().center(), language = popUps.back().center();
    for (const QPoint& over : {volume, volume, volume, volume, mode, mode, language}) ASSERT_TRUE(x.click(over, 5));

    const auto scrolled = [&] {
        return reread() && !tree->all("scroll bar").empty() && tree->all("scroll bar").front()->value.value_or(0) > 0;
    };
    ASSERT_TRUE(app.waitFor(scrolled, "the card list to scroll"));
    // A change made after the wheel reaches the headset after anything the wheel changed.
    ASSERT_TRUE(accessibility.setValue(node("slider", "Sidetone"), 7));
    ASSERT_TRUE(app.waitFor([&] { return sim.model().sidetoneVolume.level == 7; }, "the sidetone write"));
    EXPECT_EQ(sim.model().headphoneVolume.level, 15);
    EXPECT_EQ(sim.model().ambient.mode, NoiseCancellingMode::noiseCancelling);
    EXPECT_EQ(writesOf(EventID::headphoneVolume) + writesOf(EventID::ambSetting), 0u);
    EXPECT_TRUE(node("combo box", "Language").text == QStringLiteral("English"));

    // Turned back over the header, above the list: the list is back where it started.
    for (int notch = 0; notch < 12; ++notch) ASSERT_TRUE(x.click(gauges.front().center(), 4));
    ASSERT_TRUE(app.waitFor([&] { return reread() && tree->all("scroll bar").front()->value == 0; }, "the list back at its top"));
    ASSERT_EQ(accessibility.extents(node("slider", "Volume")), sliders.front());
    // Clicked (on its knob, where it stands at 15 of 30), the slider is the user's: a notch
    // turns it down three steps.
    ASSERT_TRUE(x.click(volume));
    ASSERT_TRUE(x.click(volume, 5));
    EXPECT_TRUE(app.waitFor([&] { return sim.model().headphoneVolume.level == 12; }, "the volume write"));

    // The taskbar switch makes the panel an ordinary window at once; another preference's
    // change leaves the window as it is (applying an equal taskbar preference would make it anew).
    const WindowId window = x.window(panelTitle)->id;
    EXPECT_EQ(x.windowType(window), "_NET_WM_WINDOW_TYPE_UTILITY");
    const QString settings = home.filePath("config/avrane/AvraneBar.conf");
    ASSERT_TRUE(accessibility.doAction(node("check box", "Show volume"), "Toggle"));
    ASSERT_TRUE(app.waitFor([&] { return readFile(settings).contains("showsVolumeText=true"); }, "the preference stored"));
    EXPECT_EQ(x.window(panelTitle)->id, window);
    ASSERT_TRUE(accessibility.doAction(node("check box", "Show in taskbar"), "Toggle"));
    EXPECT_TRUE(app.waitFor([&] { return x.windowType(x.window(panelTitle)->id) == "_NET_WM_WINDOW_TYPE_NORMAL"; },
                            "an ordinary window"));
}

// What a screen reader reads (through the registry, as it would), and the panel by keyboard
// alone: Tab from top to bottom, an arrow on a slider, Space on a switch, the language menu
// (Escape on the drop-down: the application's own test).
TEST_F(PanelOnDesktop, readByAssistiveTechnologyAndUsedByKeyboard) {
    EXPECT_EQ(tree->all("panel").size(), 7u) << "the cards";
    const AccessibleNode& volume = node("slider", "Volume");
    EXPECT_EQ(std::tuple(volume.value, volume.minimum, volume.maximum, volume.step), std::tuple(15.0, 0.0, 30.0, 1.0));
    const AccessibleNode& balance = node("slider", "Game / Chat Balance");
    EXPECT_EQ(std::tuple(balance.value, balance.minimum, balance.maximum, balance.step), std::tuple(0.0, -5.0, 5.0, 0.5));
    EXPECT_EQ(node("combo box", "Mode").text, QStringLiteral("Noise Cancelling"));
    // Values shown as text are read as they are, labelled by their row's title.
    EXPECT_EQ(labelled("Microphone"), QStringList{"Live"});
    EXPECT_EQ(labelled("This computer"), QStringList{"Not paired"});
    EXPECT_TRUE(node("check box", "Indicator Light").is(State::checked));

    // The controls a user can reach, top to bottom as the tree has them.
    std::vector<AccessibleNode> stops;
    const std::function<void(const AccessibleNode&)> collect = [&](const AccessibleNode& n) {
        static const QStringList controls = {"slider", "combo box", "check box", "push button"};
        if (controls.contains(n.role) && n.is(State::focusable) && n.is(State::showing)) stops.push_back(n);
        for (const AccessibleNode& child : n.children) collect(child);
    };
    collect(*tree);
    ASSERT_GT(stops.size(), 15u);
    EXPECT_EQ(stops.front().name, "Volume");
    EXPECT_EQ(stops.back().name, "Quit");
    // The keyboard starts at the first control shown when the panel opened (the headset's
    // cards may have come later); Tab goes through every control top to bottom and round.
    const auto focused = [&](const AccessibleNode& n) { return (accessibility.states(n) >> int(State::focused)) & 1u; };
    std::size_t start = stops.size();
    ASSERT_TRUE(app.waitFor([&] {
        start = std::size_t(std::find_if(stops.begin(), stops.end(), focused) - stops.begin());
        return start < stops.size();
    }, "a control with the focus"));
    for (std::size_t step = 1; step <= stops.size(); ++step) {
        const AccessibleNode& stop = stops[(start + step) % stops.size()];
        SCOPED_TRACE(stop.name.toStdString());
        ASSERT_TRUE(x.pressKey("Tab"));
        ASSERT_TRUE(app.waitFor([&] { return focused(stop); }, "Tab to " + stop.name));
        if (stop.name == "Volume") {
            ASSERT_TRUE(x.pressKey("Right"));
            EXPECT_TRUE(app.waitFor([&] { return sim.model().headphoneVolume.level == 16; }, "one step up, written"));
        }
        if (stop.name == "Indicator Light") {
            ASSERT_TRUE(x.pressKey("space"));
            EXPECT_TRUE(app.waitFor([&] { return !sim.model().led.isOn; }, "the light switched off"));
        }
        if (stop.role == "combo box" && stop.text == QStringLiteral("English")) {
            ASSERT_TRUE(x.pressKey("Up"));  // 한국어
            ASSERT_TRUE(app.waitFor([&] { return reread() && tree->find("panel", "소리"); }, "the panel in Korean"));
            EXPECT_EQ(node("slider", "볼륨").value, double(sim.model().headphoneVolume.level));
            EXPECT_EQ(node("combo box", "모드").text, QStringLiteral("노이즈 캔슬링"));
            EXPECT_EQ(labelled("마이크"), QStringList{"켜짐"});
        }
    }
}

}  // namespace
}  // namespace avrane
