#include <cmath>
#include <cstdio>
#include <functional>

#include <gmock/gmock.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "AvraneSim/Simulator.h"
#include "Support/ApplicationOnABus.h"
#include "Support/GnomeShellSession.h"
#include "Support/IconContrast.h"
#include "Support/PlasmaSession.h"
#include "Support/QtTestSupport.h"
#include "Support/SwaySession.h"
#include "Support/TrayWatch.h"
#include "Support/X11Display.h"

inline void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.width() << 'x' << r.height() << " at " << r.x() << ',' << r.y();
}

namespace avrane {
namespace {

using namespace std::chrono_literals;
using namespace avrane::testing;

const QString panelTitle = QStringLiteral("AVRANE H9");
constexpr double legible = 4.5;  // WCAG's least contrast for text
constexpr int escapeKeysym = 0xff1b;
// The placement rules' gaps: to the bar, and to the screen's side.
constexpr int barGap = 6;
constexpr int sideGap = 8;

// A figure the closing note of a desktop change wants, in the test's output and its XML.
void report(const std::string& key, const std::string& text) {
    ::testing::Test::RecordProperty(key, text);
    std::printf("[  figure  ] %s: %s\n", key.c_str(), text.c_str());
    std::fflush(stdout);
}

// With AVRANE_TEST_SCREENSHOTS naming a folder, the screenshots the figures come from are kept
// there, for a person to look at.
void keep(const std::string& name, const QImage& screen) {
    const QString folder = qEnvironmentVariable("AVRANE_TEST_SCREENSHOTS");
    if (folder.isEmpty() || screen.isNull()) return;
    QString file = QString::fromStdString(name);
    file.replace(QRegularExpression("[^A-Za-z0-9]+"), "-");
    screen.save(QDir(folder).filePath(file + ".png"));
}

std::string describe(const IconContrast& c) {
    char text[96];
    std::snprintf(text, sizeof text, "%.2f:1 (strokes #%06x on #%06x)", c.ratio, c.stroke & 0xffffffu, c.background & 0xffffffu);
    return text;
}

std::string describe(const QRect& r) {
    return std::to_string(r.width()) + "x" + std::to_string(r.height()) + " at " + std::to_string(r.x()) + "," +
           std::to_string(r.y());
}

std::string describe(const std::optional<SwayWindow>& w) {
    return w ? describe(w->rect) + (w->floating ? ", floating" : ", tiled") : "no window";
}

// Screenshots looked at one after another: the one after `bar` has looked the same for
// `span`, nothing while it is still changing.
class Steady {
public:
    std::optional<QImage> look(const QImage& now, const QRect& bar, std::chrono::milliseconds span) {
        if (now.isNull() || last_.isNull() || now.copy(bar) != last_.copy(bar)) {
            last_ = now;
            unchanged_.setRemainingTime(span);
            return std::nullopt;
        }
        if (!unchanged_.hasExpired()) return std::nullopt;
        last_ = QImage();  // the next look starts again
        return now;
    }

private:
    QImage last_;
    QDeadlineTimer unchanged_;
};

// avrane-bar as its user runs it, on the simulated headset, with settings of its own.
class RealDesktop : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }

    QProcessEnvironment environment(std::initializer_list<const DesktopPart*> parts) {
        return applicationEnvironment(parts, home, sim.slavePath());
    }
    ::testing::AssertionResult start(ChildProcess& app, const QProcessEnvironment& env) {
        app.start(AVRANE_BAR_PROGRAM, {}, env);
        return app.started();
    }
    // Until the registered item of `app` is known.
    std::optional<StatusNotifierItemAddress> registration(ChildProcess& app, const SessionBus& bus) {
        const TrayWatch tray(bus.connection());
        std::optional<StatusNotifierItemAddress> item;
        app.waitFor([&] { return (item = tray.itemOf(app.processId())).has_value(); }, "the item to register",
                    std::chrono::seconds(30));
        return item;
    }

    // The reference icon's figure must come out as its colours say, or the measurement of
    // avrane-bar's icon beside it is not to be trusted.
    void checkReference(const std::string& host, const QImage& screen, const QRect& icon, QRgb background) {
        const auto measured = measureIconContrast(screen, icon, background);
        ASSERT_TRUE(measured) << "no icon at " << describe(icon);
        const double expected = referenceContrast(background);
        report(host + ", reference icon", describe(*measured) + " in " + describe(icon) + ", expected " + std::to_string(expected));
        keep(host + " reference", screen);
        // Hosts scale icons and may dim them (GNOME's AppIndicator draws them at 94 % opacity).
        EXPECT_NEAR(measured->ratio, expected, expected * 0.25) << "the measurement itself is off";
    }
    void expectLegible(const std::string& host, const QImage& screen, const QRect& icon, QRgb background) {
        const auto measured = measureIconContrast(screen, icon, background);
        ASSERT_TRUE(measured) << "no icon at " << describe(icon);
        report(host + ", avrane-bar icon", describe(*measured) + " in " + describe(icon));
        keep(host + " icon", screen);
        EXPECT_GE(measured->ratio, legible) << "the icon's strokes against the bar";
    }
    // The bar just around an icon.
    static QRgb barAround(const QImage& screen, const QRect& icon, const QRect& bar) {
        return commonestColour(screen, icon.adjusted(-3, -3, 3, 3) & bar, icon).value_or(0);
    }

    // A screenshot in which `bar` shows more than in `empty`, once the host has finished
    // drawing the icon (hosts fade a new icon in): the same for half a second, and drawn at a
    // size; the area that changed.
    std::optional<std::pair<QImage, QRect>> newIcon(ChildProcess& waiter, const std::function<QImage()>& shoot,
                                                    const QImage& empty, const QRect& bar) {
        std::optional<std::pair<QImage, QRect>> found;
        Steady steady;
        waiter.waitFor([&] {
            const auto now = steady.look(shoot(), bar, 500ms);
            const QRect changed = now ? changedArea(empty, *now, bar) : QRect();
            if (changed.width() >= 8 && changed.height() >= 8) found.emplace(*now, changed);
            return found.has_value();
        }, "an icon in the bar", std::chrono::seconds(20));
        return found;
    }

    // Shows the reference icon in a host's bar, found as what comes into the bar, checks the
    // measurement on it and takes it away again.
    void checkReferenceIcon(const std::string& host, const QProcessEnvironment& env, const std::function<QImage()>& shoot,
                            const QImage& empty, const QRect& bar,
                            const std::function<QRgb(const QImage&, const QRect&)>& behind) {
        ChildProcess reference;
        reference.start(AVRANE_REFERENCE_TRAY_ICON, {}, env);
        ASSERT_TRUE(reference.waitForLine("shown"));
        const auto shown = newIcon(reference, shoot, empty, bar);
        ASSERT_TRUE(shown) << reference.started().message();
        checkReference(host, shown->first, shown->second, behind(shown->first, shown->second));
        reference.stop();
        ASSERT_TRUE(waitUntil([&] { return shoot().copy(bar) == empty.copy(bar); })) << "the reference icon gone";
    }

    // The bar once the host has finished drawing it: the same for two seconds (a host sets
    // the bar's place aside before it first paints it).
    static QImage settled(const std::function<QImage()>& shoot, const QRect& bar) {
        std::optional<QImage> now;
        Steady steady;
        waitUntil([&] { return (now = steady.look(shoot(), bar, 2s)).has_value(); });
        return now.value_or(shoot());
    }

    sim::Simulator sim;
    QTemporaryDir home;
};

// ---- sway with waybar ----

struct SwayCase {
    const char* name;
    Waybar::Edge edge;
    Waybar::Style style;
};

// What an icon in waybar is drawn on: its default style paints the tray module's box, which
// then is most of the area that changes when an item comes; a style without it, the bar.
QRgb behindWaybarIcon(const SwayCase& c, const QImage& screen, const QRect& changed, const QRect& bar) {
    if (c.style == Waybar::Style::dark) return commonestColour(screen, changed).value_or(0);
    return commonestColour(screen, changed.adjusted(-3, -3, 3, 3) & bar, changed).value_or(0);
}

class OnSway : public RealDesktop, public ::testing::WithParamInterface<SwayCase> {};

TEST_P(OnSway, theItemThePanelBesideTheBarAndATrayThatComesBack) {
    const SwayCase& c = GetParam();
    const std::string host = std::string("sway with waybar ") + c.name;
    SessionBus bus;
    SwayCompositor sway;
    ASSERT_TRUE(bus.started());
    ASSERT_TRUE(sway.started());
    std::optional<Waybar> bar(std::in_place, sway, bus, c.edge, c.style);
    ASSERT_TRUE(bar->started());
    const QRect barArea = bar->area();
    const auto shoot = [&] { return sway.screenshot(); };
    const QImage empty = settled(shoot, barArea);
    ASSERT_FALSE(empty.isNull()) << "grim took no screenshot";

    ASSERT_NO_FATAL_FAILURE(checkReferenceIcon(host, environment({&bus, &sway}), shoot, empty, barArea,
                                               [&](const QImage& screen, const QRect& icon) {
                                                   return behindWaybarIcon(c, screen, icon, barArea);
                                               }));

    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &sway})));
    const auto item = registration(app, bus);
    ASSERT_TRUE(item) << app.started().message();

    // Opened at launch, the panel floats at its own size at the end of the bar where the tray
    // is, 6 px from the bar and 8 from the screen's side.
    const QRect output = sway.outputArea();
    const QRect workspace = sway.workspaceArea();
    const auto placed = [&] {
        const auto panel = sway.window(panelTitle);
        return panel && panel->floating && panel->rect.right() == output.right() - sideGap;
    };
    ASSERT_TRUE(app.waitFor(placed, "the panel placed by sway")) << describe(sway.window(panelTitle));
    const QRect panel = sway.window(panelTitle)->rect;
    report(host + ", panel at launch", describe(panel));
    keep(host + " panel", sway.screenshot());
    if (c.edge == Waybar::Edge::top) {
        EXPECT_EQ(panel.top(), workspace.top() + barGap);
    } else {
        EXPECT_EQ(panel.bottom(), workspace.bottom() - barGap);
    }
    EXPECT_LT(panel.width(), output.width() / 2);
    EXPECT_LT(panel.height(), workspace.height());

    // The icon, as waybar draws it.
    const auto icon = newIcon(app, shoot, empty, barArea);
    ASSERT_TRUE(icon);
    expectLegible(host, icon->first, icon->second, behindWaybarIcon(c, icon->first, icon->second, barArea));

    // Activation (waybar's left click) closes and opens the panel, at the same place.
    const StatusNotifierItem sni(bus.connection(), *item);
    ASSERT_TRUE(sni.activate());
    ASSERT_TRUE(app.waitFor([&] { return !sway.window(panelTitle); }, "the panel to close"));
    ASSERT_TRUE(sni.activate());
    ASSERT_TRUE(app.waitFor(placed, "the panel to open again"));
    EXPECT_EQ(sway.window(panelTitle)->rect, panel);

    // The menu waybar shows on a right click: its first entry opens the panel.
    const ItemMenu menu(bus.connection(), *item);
    const auto entries = menu.entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().label, panelTitle);
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.label == "Quit"; }));
    ASSERT_TRUE(sni.activate());
    ASSERT_TRUE(app.waitFor([&] { return !sway.window(panelTitle); }, "the panel to close"));
    ASSERT_TRUE(menu.click(panelTitle));
    EXPECT_TRUE(app.waitFor(placed, "the menu to open the panel"));

    // The bar goes (restarted by its user, or not there yet at login): the program is a window
    // of its own, tiled like any other, until the bar is back with the item in it; the window
    // then becomes the drop-down at its own size, not at the size it was tiled to.
    bar.reset();
    EXPECT_TRUE(app.waitFor([&] {
        const auto window = sway.window(panelTitle);
        return window && !window->floating;
    }, "the panel to become an ordinary window"));
    bar.emplace(sway, bus, c.edge, c.style);
    ASSERT_TRUE(bar->started());
    EXPECT_TRUE(registration(app, bus));
    EXPECT_TRUE(newIcon(app, shoot, empty, barArea)) << "the icon back in the bar";
    EXPECT_TRUE(app.waitFor([&] { return placed() && sway.window(panelTitle)->rect.width() < output.width() / 2; },
                            "the drop-down beside the bar")) << describe(sway.window(panelTitle));
}

INSTANTIATE_TEST_SUITE_P(Bars, OnSway,
                         ::testing::Values(SwayCase{"at the top, dark", Waybar::Edge::top, Waybar::Style::dark},
                                           SwayCase{"at the bottom, light", Waybar::Edge::bottom, Waybar::Style::light}),
                         [](const auto& info) { return info.param.edge == Waybar::Edge::top ? "topDark" : "bottomLight"; });

// ---- GNOME Shell with the AppIndicator extension ----

TEST_F(RealDesktop, gnomeShellWithTheAppIndicatorExtension) {
    const std::string host = "GNOME Shell";
    SessionBus bus;
    ASSERT_TRUE(bus.started());
    GnomeShell gnome(bus);
    ASSERT_TRUE(gnome.started());
    const QRect bar = gnome.topBar()->bar;
    const QPoint away(20, GnomeShell::monitorSize.height() / 2);  // no icon drawn hovered
    const auto itemNamed = [&](const std::function<bool(const QString&)>& matches) -> std::optional<GnomeShell::TopBarItem> {
        if (const auto top = gnome.topBar()) {
            for (const auto& item : top->items) {
                if (item.visible && matches(item.id)) return item;
            }
        }
        return std::nullopt;
    };
    const auto isReference = [](const QString& id) { return id == "reference-tray-icon"; };
    const auto isOurs = [](const QString& id) { return id != "reference-tray-icon"; };
    // A screenshot and the item's icon in it: its place asked before and after, alike.
    const auto shotOf = [&](ChildProcess& waiter, const std::function<bool(const QString&)>& matches) {
        std::optional<std::pair<QImage, QRect>> found;
        EXPECT_TRUE(gnome.movePointer(away));
        waiter.waitFor([&] {
            const auto before = itemNamed(matches);
            const QImage screen = gnome.screenshot();
            const auto after = itemNamed(matches);
            if (before && after && before->icon == after->icon && !screen.isNull()) found.emplace(screen, after->icon);
            return found.has_value();
        }, "a screenshot of the item's icon");
        return found;
    };

    {
        ChildProcess reference;
        reference.start(AVRANE_REFERENCE_TRAY_ICON, {}, environment({&bus, &gnome}));
        ASSERT_TRUE(reference.waitForLine("shown"));
        const auto shown = shotOf(reference, isReference);
        ASSERT_TRUE(shown);
        checkReference(host, shown->first, shown->second, barAround(shown->first, shown->second, bar));
        reference.stop();
        ASSERT_TRUE(waitUntil([&] { return !itemNamed(isReference); }));
    }

    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &gnome})));
    ASSERT_TRUE(registration(app, bus)) << app.started().message();
    std::optional<GnomeShell::TopBarItem> item;
    ASSERT_TRUE(app.waitFor([&] { return (item = itemNamed(isOurs)).has_value(); }, "the item in the top bar"));
    const QPoint icon = item->icon.center();

    // Opened at launch: a compact panel without a title bar under the top bar's right end,
    // through XWayland (GNOME places Wayland windows itself).
    const QRect screen(QPoint(0, 0), GnomeShell::monitorSize);
    const auto placed = [&] {
        const auto panel = gnome.window(panelTitle);
        return panel && !panel->minimized && panel->frame.right() == screen.right() - sideGap;
    };
    ASSERT_TRUE(app.waitFor(placed, "the panel under the top bar"));
    const auto panel = gnome.window(panelTitle);
    report(host + ", panel at launch", describe(panel->frame) + (panel->x11 ? " (XWayland)" : " (Wayland)") +
                                           (panel->decorated ? ", with a title bar" : ", no title bar"));
    EXPECT_EQ(panel->frame.top(), bar.bottom() + 1 + barGap);
    EXPECT_FALSE(panel->decorated);
    EXPECT_TRUE(panel->x11);

    const auto shown = shotOf(app, isOurs);
    ASSERT_TRUE(shown);
    expectLegible(host, shown->first, shown->second, barAround(shown->first, shown->second, bar));
    keep(host + " panel", gnome.screenshot());  // by now the panel has drawn too

    // A double click (GNOME's way to activate an item) closes and opens the panel; Escape
    // closes it. The shell takes a click on the item only once it has seen the pointer come
    // over it, as a user's pointer does; and it tells a double click from two clicks by their
    // timing, which a loaded machine stretches now and then: the two clicks then open and
    // close the item's menu, and the user clicks again.
    ASSERT_TRUE(gnome.movePointer(icon));
    ASSERT_TRUE(app.waitFor([&] { const auto item = itemNamed(isOurs); return item && item->hovered; }, "the pointer over the item"));
    const auto doubleClickUntil = [&](const std::function<bool()>& done, const char* what) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!gnome.click(icon, 1, 2)) return false;
            if (waitUntil(done, 3s)) return true;
            if (!gnome.openMenu().empty()) gnome.pressKey(escapeKeysym);
        }
        return gnome.click(icon, 1, 2) && app.waitFor(done, what);
    };
    ASSERT_TRUE(doubleClickUntil([&] { return !gnome.window(panelTitle); }, "the panel to close"));
    ASSERT_TRUE(doubleClickUntil(placed, "the panel to open again"));
    ASSERT_TRUE(app.waitFor([&] { return gnome.window(panelTitle)->focused; }, "the panel to take the keyboard"));
    ASSERT_TRUE(gnome.pressKey(escapeKeysym));
    ASSERT_TRUE(app.waitFor([&] { return !gnome.window(panelTitle); }, "Escape to close the panel"));

    // A right click opens GNOME's menu of the item; its first entry opens the panel.
    ASSERT_TRUE(gnome.click(icon, 3));
    std::vector<GnomeShell::MenuEntry> entries;
    ASSERT_TRUE(app.waitFor([&] {
        entries = gnome.openMenu();
        return !entries.empty() && !entries.front().rect.isEmpty();
    }, "the item's menu"));
    EXPECT_EQ(entries.front().label, panelTitle);
    // A click the menu takes before it is ready does nothing: clicked again while it is open.
    EXPECT_TRUE(app.waitFor([&] {
        if (!gnome.openMenu().empty()) gnome.click(entries.front().rect.center());
        return placed();
    }, "the menu to open the panel"));

    // The extension switched off, GNOME has no tray: the program is an ordinary window, with
    // a title bar (that Escape leaves it open: the application's own test). Switched on again,
    // the item is back.
    ASSERT_TRUE(gnome.setAppIndicatorEnabled(false));
    EXPECT_TRUE(app.waitFor([&] {
        const auto window = gnome.window(panelTitle);
        return window && window->decorated && !window->skipTaskbar;
    }, "the panel to become an ordinary window"));
    ASSERT_TRUE(gnome.setAppIndicatorEnabled(true));
    EXPECT_TRUE(registration(app, bus));
    EXPECT_TRUE(app.waitFor([&] { return itemNamed(isOurs).has_value(); }, "the item back in the top bar"));
}

// ---- KDE Plasma on X11 ----

struct PlasmaCase {
    const char* name;
    PlasmaDesktop::Edge edge;
    PlasmaDesktop::Colours colours;
};

class OnPlasma : public RealDesktop, public ::testing::WithParamInterface<PlasmaCase> {};

TEST_P(OnPlasma, theItemThePanelBesideTheIconAndAShellThatComesBack) {
    const PlasmaCase& c = GetParam();
    const std::string host = std::string("KDE Plasma ") + c.name;
    SessionBus bus;
    XvfbDisplay display;
    ASSERT_TRUE(bus.started());
    ASSERT_TRUE(display.started());
    PlasmaDesktop plasma(display, bus, home.filePath("config"), c.edge, c.colours);
    ASSERT_TRUE(plasma.started());
    X11Display x(display.name());
    const QRect bar = plasma.panelArea();
    const QPoint away(display.size().width() / 2, display.size().height() / 2);  // a hovered icon is drawn lighter
    ASSERT_TRUE(x.movePointer(away));
    const auto shoot = [&] { return x.screenshot(); };
    const QImage empty = settled(shoot, bar);

    ASSERT_NO_FATAL_FAILURE(checkReferenceIcon(host, environment({&bus, &display, &plasma}), shoot, empty, bar,
                                               [&](const QImage& screen, const QRect& icon) { return barAround(screen, icon, bar); }));

    ChildProcess app;
    ASSERT_TRUE(start(app, environment({&bus, &display, &plasma})));
    ASSERT_TRUE(registration(app, bus)) << app.started().message();
    const auto panelShown = [&](bool shown) {
        const auto panel = x.window(panelTitle);
        return shown ? panel && panel->viewable : !panel || !panel->viewable;
    };
    const QRect work = x.workArea().value_or(QRect());
    // Beside the bar's end, KWin's frame included; pointer or not, the icon is at that end.
    // KWin frames a window only once it shows, and keeps it where it put it then: the first
    // opening, before the frame is known, is held at the bar's end, fitting the free area
    // with the gaps, but may stand a few pixels off.
    const auto besideTheBar = [&](bool exactly) {
        const auto panel = x.window(panelTitle);
        if (!panel || !panel->viewable) return false;
        const QRect frame = panel->frame;
        const bool gap = c.edge == PlasmaDesktop::Edge::top ? frame.top() == work.top() + barGap
                                                             : frame.bottom() == work.bottom() - barGap;
        return frame.right() == work.right() - sideGap && work.contains(frame) &&
               frame.height() <= work.height() - 2 * barGap && (gap || !exactly);
    };
    const auto expectBesideTheBar = [&](const char* when, bool exactly) {
        EXPECT_TRUE(app.waitFor([&] { return besideTheBar(exactly); }, "the panel beside the bar's end"))
            << when << ": " << describe(x.window(panelTitle)->frame) << " in a free area of " << describe(work);
        report(host + ", panel " + when + " (with KWin's frame)", describe(x.window(panelTitle)->frame));
        keep(host + " panel " + when, x.screenshot());
    };
    ASSERT_TRUE(app.waitFor([&] { return panelShown(true); }, "the panel to open at launch"));
    expectBesideTheBar("at launch", false);

    ASSERT_TRUE(x.movePointer(away));
    const auto icon = newIcon(app, shoot, empty, bar);
    ASSERT_TRUE(icon);
    expectLegible(host, icon->first, icon->second, barAround(icon->first, icon->second, bar));

    // A left click activates the item: the panel closes, and opens again beside the icon.
    const QPoint centre = icon->second.center();
    ASSERT_TRUE(x.click(centre));
    ASSERT_TRUE(app.waitFor([&] { return panelShown(false); }, "the panel to close"));
    ASSERT_TRUE(x.click(centre + QPoint(3, 0)));
    ASSERT_TRUE(app.waitFor([&] { return panelShown(true); }, "the panel to open again"));
    expectBesideTheBar("opened by a click", true);

    // Plasma's menu of the item, on a right click: its first entry opens the panel.
    ASSERT_TRUE(app.waitFor([&] { return x.inputFocus() == x.window(panelTitle)->id; }, "the panel to take the keyboard"));
    ASSERT_TRUE(x.pressKey("Escape"));
    ASSERT_TRUE(app.waitFor([&] { return panelShown(false); }, "Escape to close the panel"));
    ASSERT_TRUE(x.click(centre, 3));
    ASSERT_TRUE(x.pressKey("Down"));
    ASSERT_TRUE(x.pressKey("Return"));
    EXPECT_TRUE(app.waitFor([&] { return panelShown(true); }, "the menu to open the panel"));

    // plasmashell goes (kded5 keeps the watcher): the program is a window of its own until
    // the shell is back with the item in its panel.
    plasma.stopShell();
    EXPECT_TRUE(app.waitFor([&] {
        return panelShown(true) && x.windowType(x.window(panelTitle)->id) == QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL");
    }, "the panel shown as an ordinary window"));
    ASSERT_TRUE(plasma.startShell());
    EXPECT_TRUE(registration(app, bus));
    ASSERT_TRUE(x.movePointer(away));
    EXPECT_TRUE(newIcon(app, shoot, empty, bar)) << "the icon back in the panel";
}

INSTANTIATE_TEST_SUITE_P(
    Themes, OnPlasma,
    ::testing::Values(PlasmaCase{"(Breeze, panel at the top)", PlasmaDesktop::Edge::top, PlasmaDesktop::Colours::breeze},
                      PlasmaCase{"(Breeze Dark, panel at the bottom)", PlasmaDesktop::Edge::bottom, PlasmaDesktop::Colours::breezeDark}),
    [](const auto& info) { return info.param.edge == PlasmaDesktop::Edge::top ? "breezeTop" : "breezeDarkBottom"; });

}  // namespace
}  // namespace avrane
