#include <gmock/gmock.h>

#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <thread>

#include "AvraneBar/StatusItem/TrayIconInk.h"
#include "AvraneSim/Simulator.h"
#include "Support/ApplicationOnABus.h"
#include "Support/NotificationServer.h"
#include "Support/QtTestSupport.h"
#include "Support/StatusNotifierItems.h"
#include "Support/X11Display.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using namespace avrane::testing;

const QString panelTitle = QStringLiteral("AVRANE H9");
const QString applicationId = QStringLiteral("io.github.avranebar.AvraneBar");
const QString ordinaryWindow = QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL");
const QString dropDown = QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY");

// The most common colour among the pixels of `image` that `counts`: an icon's solid ink,
// where its edges blend into the bar.
std::optional<QRgb> mostCommonColour(const QImage& image, const std::function<bool(QRgb)>& counts) {
    std::map<QRgb, int> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb pixel = image.pixel(x, y); counts(pixel)) ++seen[pixel];
    if (seen.empty()) return std::nullopt;
    return std::max_element(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return a.second < b.second; })->first;
}

double contrast(QRgb a, QRgb b) {
    const auto rgb = [](QRgb c) { return Rgb{std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))}; };
    return contrastRatio(rgb(a), rgb(b));
}

// avrane-bar as its user runs it, on the simulated headset, with settings of its own and its
// diagnostic lines on.
class Application : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }

    QProcessEnvironment environment(std::initializer_list<const DesktopPart*> parts) {
        return applicationEnvironment(parts, home, sim.slavePath());
    }
    ::testing::AssertionResult start(ChildProcess& app, const QProcessEnvironment& env, const QStringList& arguments = {}) {
        app.start(AVRANE_BAR_PROGRAM, arguments, env);
        return app.started();
    }
    // Waits until the application has logged a snapshot line containing `text`.
    bool logged(ChildProcess& app, const QString& text) {
        return app.waitFor([&] { return app.errorOutput().contains(text); }, "a log line with " + text);
    }
    // A closed window may be gone altogether: Qt lets go of a window closed by its user.
    bool panelShown(X11Display& x, ChildProcess& app, bool shown) {
        return app.waitFor([&] {
            const auto panel = x.window(panelTitle);
            return (panel && panel->viewable) == shown;
        }, shown ? "the panel to open" : "the panel to close");
    }
    // The panel, open, has the keyboard.
    bool panelFocused(X11Display& x, ChildProcess& app) {
        return app.waitFor([&] {
            const auto panel = x.window(panelTitle);
            return panel && panel->viewable && x.inputFocus() == panel->id;
        }, "the panel to take the keyboard");
    }
    void batteryBecomes(std::uint8_t percent) {
        sim.change(EventID::batteryInfo, [percent](sim::HeadsetModel& m) { m.battery.percent = percent; });
    }
    void chargerPlugged(bool plugged) {
        sim.change(EventID::batteryInfo, [plugged](sim::HeadsetModel& m) {
            m.battery.statusCode = std::uint8_t(plugged ? BatteryInfo::Status::charging : BatteryInfo::Status::discharging);
        });
    }

    sim::Simulator sim;
    QTemporaryDir home;
};

TEST_F(Application, inAnXEmbedTray) {
    SessionBus bus;
    XvfbDisplay display;
    Trayer tray(display);
    ASSERT_TRUE(bus.started() && display.started() && tray.started());
    X11Display x(display.name());
    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &display})));

    // The icon embeds, the panel opens once at launch and moves under it.
    ASSERT_TRUE(app.waitFor([&] { return !x.embeddedWindows("avrane-bar").empty(); }, "the icon to embed"));
    ASSERT_TRUE(logged(app, "connected"));
    ASSERT_TRUE(panelShown(x, app, true));
    const QRect icon = x.embeddedWindows("avrane-bar").front().geometry;
    ASSERT_TRUE(app.waitFor([&] { return x.window(panelTitle)->geometry.top() == icon.bottom() + 1 + 6; }, "the panel under the icon"));
    EXPECT_EQ(x.window(panelTitle)->geometry.right(), display.size().width() - 1 - 8) << "kept 8 px from the edge";

    // A tray that moves its bar after taking the icon in (trayer may, when it starts with the
    // program): the panel opened at launch follows the icon, to the left edge and back.
    const WindowId bar = x.window("panel")->id;  // trayer's
    const QPoint barHome = x.window("panel")->geometry.topLeft();
    for (const bool home : {false, true}) {
        const QPoint to = home ? barHome : QPoint(0, 0);
        x.moveWindow(bar, to);
        ASSERT_TRUE(app.waitFor([&] {
            const QRect panel = x.window(panelTitle)->geometry;
            return home ? panel.right() == display.size().width() - 1 - 8 : panel.left() == 8;
        }, home ? "the panel back under the icon" : "the panel to follow the icon to the left"));
        EXPECT_EQ(x.window(panelTitle)->geometry.top(), icon.bottom() + 1 + 6);
    }

    // The icon reads on trayer's bar: its ink against the bar's own pixels beside it.
    const QRgb barColour = x.screenshot().pixel(icon.left() - 1, icon.center().y());
    ASSERT_TRUE(app.waitFor([&] {
        const auto ink = mostCommonColour(x.screenshot().copy(icon), [&](QRgb pixel) { return pixel != barColour; });
        return ink && contrast(*ink, barColour) >= legibleContrast;
    }, "the icon's ink to stand out from the bar by 4.5:1"));

    // The icon shows the battery.
    const QImage before = x.screenshot().copy(icon);
    batteryBecomes(35);
    ASSERT_TRUE(logged(app, "battery 35%"));
    EXPECT_TRUE(app.waitFor([&] { return x.screenshot().copy(icon) != before; }, "the icon to change"));

    // A click on the icon closes the panel, another opens it (a few pixels apart, so that
    // the two are not one double click).
    ASSERT_TRUE(x.click(icon.center() - QPoint(4, 0)));
    ASSERT_TRUE(panelShown(x, app, false));
    ASSERT_TRUE(x.click(icon.center() + QPoint(4, 0)));
    ASSERT_TRUE(panelShown(x, app, true));
    EXPECT_EQ(x.window(panelTitle)->geometry.top(), icon.bottom() + 1 + 6);

    // Another window taking the keyboard closes it, as a click elsewhere would, but not in the
    // first 0.3 s after it opened: the app's clock runs, so the test lets that time pass.
    ASSERT_TRUE(panelFocused(x, app));
    std::this_thread::sleep_for(400ms);
    // Asked again while the panel stays: Qt may still take the keyboard back once for a window
    // it has just shown.
    const WindowId strip = x.window("panel")->id;  // trayer's
    ASSERT_TRUE(app.waitFor([&] {
        x.setInputFocus(strip);
        return !x.window(panelTitle)->viewable;
    }, "the panel to close when another window takes the keyboard"));
}

// Started from the login's autostart entry, the panel stays closed, and a second such start
// leaves it so. The tray goes away (trayer killed): the program becomes what it is without
// one, an ordinary window that opens by itself and that Escape leaves open; the tray comes
// back: the icon returns, and the window is the drop-down under it again.
TEST_F(Application, anXEmbedTrayThatGoesAwayAndComesBack) {
    SessionBus bus;
    XvfbDisplay display;
    std::optional<Trayer> tray;
    tray.emplace(display);
    ASSERT_TRUE(bus.started() && display.started() && tray->started());
    X11Display x(display.name());
    const QProcessEnvironment env = environment({&bus, &display});
    const auto panelClosed = [&] {
        const auto panel = x.window(panelTitle);
        return !panel || !panel->viewable;
    };
    ChildProcess app;
    ASSERT_TRUE(start(app, env, {"--autostart"}));
    // The panel would open at launch, before the icon embeds and the headset is read.
    ASSERT_TRUE(app.waitFor([&] { return !x.embeddedWindows("avrane-bar").empty(); }, "the icon to embed"));
    ASSERT_TRUE(logged(app, "connected"));
    EXPECT_TRUE(panelClosed());
    ChildProcess again;
    ASSERT_TRUE(start(again, env, {"--autostart"}));
    EXPECT_EQ(again.waitForExit(), 0);
    EXPECT_TRUE(panelClosed());

    tray.reset();
    ASSERT_TRUE(app.waitFor([&] {
        const auto panel = x.window(panelTitle);
        return panel && panel->viewable;
    }, "the window to open by itself", 15s));
    const WindowId window = x.window(panelTitle)->id;
    EXPECT_EQ(x.windowType(window), ordinaryWindow);
    EXPECT_EQ(x.windowClass(window), applicationId);
    // Opened by itself, it need not take the keyboard; a click on it would give it.
    x.setInputFocus(window);
    ASSERT_TRUE(panelFocused(x, app));
    ASSERT_TRUE(x.pressKey("Escape"));

    // The key reached the program before the new tray did: the window is still open, and
    // becomes the drop-down (a window Escape had closed would stay closed).
    tray.emplace(display);
    ASSERT_TRUE(tray->started());
    ASSERT_TRUE(app.waitFor([&] { return !x.embeddedWindows("avrane-bar").empty(); }, "the icon to embed again"));
    const QRect icon = x.embeddedWindows("avrane-bar").front().geometry;
    ASSERT_TRUE(app.waitFor([&] {
        const auto panel = x.window(panelTitle);
        return panel && panel->viewable && panel->geometry.top() == icon.bottom() + 1 + 6 &&
               x.windowType(panel->id) == dropDown;
    }, "the drop-down under the icon"));
    // Made anew, it lost the keyboard on the way, which Qt reports 400 ms late: no reason to
    // close it. No event tells that the report has come and gone; the test outwaits it.
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(x.window(panelTitle) && x.window(panelTitle)->viewable) << "the drop-down closed as it was made";
    // Made anew as a drop-down, the window has the keyboard once it is clicked.
    x.setInputFocus(x.window(panelTitle)->id);
    ASSERT_TRUE(panelFocused(x, app));
    ASSERT_TRUE(x.pressKey("Escape"));
    ASSERT_TRUE(panelShown(x, app, false));
    // A start by hand, unlike one at login, opens it.
    ChildProcess byHand;
    ASSERT_TRUE(start(byHand, env));
    EXPECT_EQ(byHand.waitForExit(), 0);
    EXPECT_TRUE(panelShown(x, app, true));
}

// A StatusNotifierItem host that registers after its watcher: the item waits for it, keeps the
// application id as its Id, its tool tip follows the battery, and activating it opens the
// panel. (A watcher that goes and comes back: waybar's, in the desktop tests.)
TEST_F(Application, aStatusNotifierHostThatRegistersLate) {
    SessionBus bus;
    XvfbDisplay display;
    StatusNotifierWatcher watcher(bus, 1500ms);
    ASSERT_TRUE(bus.started() && display.started() && watcher.started());
    X11Display x(display.name());
    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &display}), {"--autostart"}));
    const auto address = watcher.nextRegistration();
    ASSERT_TRUE(address);
    const StatusNotifierItem item(bus.connection(), *address);
    EXPECT_EQ(item.property("Id"), QVariant(applicationId));
    EXPECT_FALSE(item.icon().isNull());
    batteryBecomes(42);
    EXPECT_TRUE(app.waitFor([&] {
        const auto tip = item.toolTip();
        return tip && (tip->title + tip->text).contains("Battery 42%");
    }, "the tool tip to follow"));
    ASSERT_TRUE(item.activate());
    EXPECT_TRUE(panelShown(x, app, true));
}

// On Plasma the icon takes the colours of the panel, which follows the colour scheme; a new
// scheme, announced as KDE does, colours it anew.
TEST_F(Application, onPlasmaTheIconFollowsTheColourScheme) {
    SessionBus bus;
    XvfbDisplay display;
    StatusNotifierWatcher watcher(bus);
    ASSERT_TRUE(bus.started() && display.started() && watcher.started());
    QProcessEnvironment env = environment({&bus, &display});
    env.insert("XDG_CURRENT_DESKTOP", "KDE");
    env.insert("XDG_DATA_DIRS", home.filePath("share"));  // no Plasma style of the system's
    const QString kdeglobals = home.filePath("config/kdeglobals");
    QDir().mkpath(home.filePath("config"));
    const auto scheme = [&](const char* background, const char* foreground) {
        testing::writeFile(kdeglobals, QByteArray("[Colors:Window]\nBackgroundNormal=") + background +
                                           "\nForegroundNormal=" + foreground + "\n");
    };
    const auto iconInk = [&](const StatusNotifierItem& item) {
        return mostCommonColour(item.icon(), [](QRgb pixel) { return qAlpha(pixel) == 255; });
    };
    scheme("239,240,241", "35,38,41");
    ChildProcess app;
    ASSERT_TRUE(start(app, env, {"--autostart"}));
    const auto address = watcher.nextRegistration();
    ASSERT_TRUE(address);
    const StatusNotifierItem item(bus.connection(), *address);
    EXPECT_TRUE(app.waitFor([&] { return iconInk(item) == qRgb(35, 38, 41); }, "Breeze's dark text colour"));

    scheme("42,46,50", "252,252,252");
    QDBusMessage changed = QDBusMessage::createSignal("/KGlobalSettings", "org.kde.KGlobalSettings", "notifyChange");
    changed << 0 << 0;
    ASSERT_TRUE(bus.connection().send(changed));
    EXPECT_TRUE(app.waitFor([&] { return iconInk(item) == qRgb(252, 252, 252); }, "Breeze Dark's light text colour"));
}

// Without a tray (GNOME without its extension), a start at login opens the window when no
// tray has come; closing it leaves the program running for the low-battery alerts and says
// so once; starting it again shows the window; with the alerts off closing quits.
TEST_F(Application, closingTheWindowWithoutATray) {
    SessionBus bus;
    XvfbDisplay display;
    NotificationServer server(bus);
    ASSERT_TRUE(bus.started() && display.started() && server.started());
    X11Display x(display.name());
    QProcessEnvironment env = environment({&bus, &display});
    env.insert("XDG_CURRENT_DESKTOP", "GNOME");
    ChildProcess app;
    ASSERT_TRUE(start(app, env, {"--autostart"}));
    ASSERT_TRUE(app.waitFor([&] {
        const auto panel = x.window(panelTitle);
        return panel && panel->viewable;
    }, "the window to open by itself", 15s));
    for (int time = 0; time < 2; ++time) {
        SCOPED_TRACE(time == 0 ? "first close" : "second close");
        x.closeWindow(x.window(panelTitle)->id);
        ASSERT_TRUE(panelShown(x, app, false));
        ChildProcess again;
        ASSERT_TRUE(start(again, env));
        EXPECT_EQ(again.waitForExit(), 0);
        ASSERT_TRUE(panelShown(x, app, true));
    }
    const auto told = server.nextCall();
    ASSERT_TRUE(told);
    EXPECT_THAT(told->toStdString(), ::testing::HasSubstr(R"(summary="AvraneBar keeps running")"));

    const QString settings = home.filePath("config/avrane/AvraneBar.conf");
    QDir().mkpath(QFileInfo(settings).path());
    QSettings(settings, QSettings::IniFormat).setValue("app.lowBatteryAlerts", false);
    x.closeWindow(x.window(panelTitle)->id);
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(server.calls().size(), 1);
}

// On a console or over ssh: help and the version answer, and a start says why it cannot run
// instead of aborting in Qt's platform plugin. An unknown option is refused, display or not. A
// display that cannot be reached is named, with the variable that named it, where Qt would
// abort.
TEST_F(Application, withoutADisplayItCanReach) {
    QProcessEnvironment env = environment({});
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) env.remove(name);
    ChildProcess version, help, app, unknown;
    ASSERT_TRUE(start(version, env, {"--version"}));
    EXPECT_EQ(version.waitForExit(), 0);
    EXPECT_THAT(version.output().toStdString(), ::testing::MatchesRegex("avrane-bar [0-9]+\\.[0-9]+\\.[0-9]+\n"));
    ASSERT_TRUE(start(help, env, {"--help"}));
    EXPECT_EQ(help.waitForExit(), 0);
    EXPECT_THAT(help.output().toStdString(), ::testing::HasSubstr("--autostart"));
    ASSERT_TRUE(start(app, env));
    EXPECT_EQ(app.waitForExit(), 1);
    EXPECT_THAT(app.errorOutput().toStdString(), ::testing::HasSubstr("no display"));
    for (const char* platform : {"", "offscreen"}) {
        if (*platform) env.insert("QT_QPA_PLATFORM", platform);
        ASSERT_TRUE(start(unknown, env, {"--panel"}));
        EXPECT_EQ(unknown.waitForExit(), 1);
        EXPECT_THAT(unknown.errorOutput().toStdString(), ::testing::HasSubstr("Unknown option 'panel'"));
    }

    env.remove("QT_QPA_PLATFORM");
    const QString gone = unusedDisplayName();
    env.insert("DISPLAY", gone);
    ASSERT_TRUE(start(app, env));
    EXPECT_EQ(app.waitForExit(), 1);
    EXPECT_EQ(app.errorOutput(), "avrane-bar: cannot open the display " + gone + " (DISPLAY)\n");
}

TEST_F(Application, diagnosticLinesInTheirFormats) {
    SessionBus bus;
    XvfbDisplay display;
    ASSERT_TRUE(bus.started() && display.started());
    QProcessEnvironment env = environment({&bus, &display});
    env.insert("AVRANE_PORT", home.filePath("no-such-dongle"));
    env.insert("AVRANE_BAR_OPEN", "1");
    ChildProcess app;
    ASSERT_TRUE(start(app, env));
    ASSERT_TRUE(app.waitFor([&] { return app.errorOutput().contains("ValueSlider"); }, "the layout dump"));
    const QStringList lines = app.errorOutput().split('\n');
    const QRegularExpression snapshot(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ  (connected|no-dongle \(.+\)|unreachable \(.+\))(  ·  .+)?$)");
    EXPECT_EQ(lines.filter(snapshot).size(), lines.filter(QRegularExpression("^\\d{4}-")).size());
    EXPECT_FALSE(lines.filter("Z  no-dongle (").isEmpty());
    // From the content's first view, which holds all the others.
    const qsizetype header = lines.indexOf(QRegularExpression("--- panel .*"));
    ASSERT_GE(header, 0);
    EXPECT_THAT(lines.value(header + 1).toStdString(), ::testing::MatchesRegex("QWidget  [0-9]+x[0-9]+ at 0,0"));
    EXPECT_EQ(lines.filter(QRegularExpression("^ *PanelViewController ")).size(), 0);

    // Without AVRANE_BAR_LOG nothing of the kind is written, the layout dump included.
    app.stop();  // else the next one would only ask it to show its panel
    env.remove("AVRANE_BAR_LOG");
    ChildProcess quiet;
    ASSERT_TRUE(start(quiet, env));
    X11Display x(display.name());
    ASSERT_TRUE(panelShown(x, quiet, true));
    EXPECT_EQ(quiet.waitForExit(2500ms), std::nullopt) << "past the dump's moment, and still running";
    EXPECT_THAT(quiet.errorOutput().toStdString(), ::testing::Not(::testing::ContainsRegex("(^|\n)(---|[0-9]{4}-)")));
}

// A first launch: its update check runs in the update helper, a child that ends with it, and
// the application never maps the network or TLS libraries, before, during or after it. Then a
// battery that drains from 20 % to 3 % and charges, on the desktop's notification server: an
// alert under 15 %, its replacement under 5 %, withdrawn when the charger is plugged in.
TEST_F(Application, aFirstLaunchChecksForUpdatesApartAndAlertsOnLowBattery) {
    SessionBus bus;
    XvfbDisplay display;
    NotificationServer server(bus);
    ASSERT_TRUE(bus.started() && display.started() && server.started());
    const QString settings = home.filePath("config/avrane/AvraneBar.conf");
    QDir(home.path()).mkpath("config/avrane");
    testing::writeFile(settings, "[General]\nlanguage=english\n");
    batteryBecomes(20);
    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &display})));
    const QString pid = QString::number(app.processId());
    QStringList mapped;
    bool helperRan = false, helperRuns = true;
    const auto look = [&] {
        const QByteArray maps = readFile("/proc/" + pid + "/maps");
        for (const char* library : {"libssl", "libcrypto", "libQt6Network"}) {
            if (maps.contains(library) && !mapped.contains(library)) mapped << library;
        }
        helperRuns = !readFile("/proc/" + pid + "/task/" + pid + "/children").trimmed().isEmpty();
        helperRan |= helperRuns;
    };
    // The helper may live for a few tens of milliseconds only: looked for every millisecond.
    const QDeadlineTimer deadline(20s);
    while (!readFile(settings).contains("update.lastCheck") || helperRuns) {
        ASSERT_FALSE(deadline.hasExpired()) << "the launch's update check did not end";
        look();
        std::this_thread::sleep_for(1ms);
    }
    look();
    EXPECT_TRUE(helperRan);
    EXPECT_THAT(mapped, ::testing::IsEmpty());

    // One level at a time, each shown before the next.
    const auto drain = [&](int from, int to) {
        for (int percent = from; percent >= to; --percent) {
            const QString line = QStringLiteral("battery %1%").arg(percent);
            const qsizetype before = app.errorOutput().count(line);
            batteryBecomes(std::uint8_t(percent));
            if (!app.waitFor([&] { return app.errorOutput().count(line) > before; }, "a log line with " + line)) return false;
        }
        return true;
    };
    const QString hints = "actions=0 hints=category:device,desktop-entry:io.github.avranebar.AvraneBar,urgency:";
    const QString low = R"(summary="AVRANE H9 battery low" body="14% left. Charge the headset soon." )" + hints + "1";
    const QString critical = R"(summary="AVRANE H9 battery almost empty" )"
                             R"(body="4% left. Charge the headset now: it turns itself off when empty." )" + hints + "2";
    const QString notify = R"(Notify app="AvraneBar" replaces=%1 icon="io.github.avranebar.AvraneBar" %2 timeout=-1 -> %3)";

    ASSERT_TRUE(logged(app, "battery 20%"));
    ASSERT_TRUE(drain(19, 3));
    chargerPlugged(true);
    EXPECT_EQ(server.nextCall(), notify.arg(0).arg(low).arg(1));
    EXPECT_EQ(server.nextCall(), notify.arg(1).arg(critical).arg(1));
    EXPECT_EQ(server.nextCall(), "CloseNotification 1");
}

TEST_F(Application, onWayland) {
    SessionBus bus;
    XvfbDisplay screen;
    StatusNotifierWatcher watcher(bus);
    ASSERT_TRUE(bus.started() && screen.started() && watcher.started());
    WestonCompositor weston(screen);
    ASSERT_TRUE(weston.started());
    X11Display x(screen.name());
    const auto output = x.window(WestonCompositor::outputWindowTitle);
    ASSERT_TRUE(output);
    // The compositor's screen as the user sees it, against how it looked without the panel
    // (once it has drawn its background).
    QImage empty;
    ASSERT_TRUE(waitUntil([&] {
        empty = x.screenshot().copy(output->geometry);
        return empty.pixel(empty.rect().center()) == qRgb(0x30, 0x30, 0x30);
    }));
    const auto panelOnScreen = [&] {
        const QImage now = x.screenshot().copy(output->geometry);
        int changed = 0;
        for (int y = 0; y < now.height(); y += 4)
            for (int column = 0; column < now.width(); column += 4) changed += now.pixel(column, y) != empty.pixel(column, y);
        return changed > 3000;  // a panel 360 wide covers over 10000 of the sampled pixels
    };
    // Keys typed on the X screen reach the compositor, which gives them to its active window.
    x.setInputFocus(output->id);

    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &weston})));
    const auto address = watcher.nextRegistration();
    ASSERT_TRUE(address);
    ASSERT_TRUE(app.waitFor(panelOnScreen, "the panel on the compositor's screen"));
    // The compositor activates a new window once it has drawn it; until then a key goes nowhere.
    ASSERT_TRUE(app.waitFor([&] {
        x.pressKey("Escape");
        return !panelOnScreen();
    }, "Escape to close the panel"));

    const StatusNotifierItem item(bus.connection(), *address);
    ASSERT_TRUE(item.activate());
    ASSERT_TRUE(app.waitFor(panelOnScreen, "the tray item to open the panel"));
    std::this_thread::sleep_for(400ms);  // the first 0.3 s after opening do not count
    ChildProcess other;
    other.start("weston-flower", {}, environment({&weston}), "weston");
    ASSERT_TRUE(other.started());
    EXPECT_TRUE(app.waitFor([&] { return !panelOnScreen(); }, "another window taking activation to close the panel"));
}

}  // namespace
}  // namespace avrane
