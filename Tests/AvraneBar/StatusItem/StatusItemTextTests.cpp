#include <gmock/gmock.h>

#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "AvraneBar/StatusItem/PanelToggle.h"
#include "AvraneBar/StatusItem/StatusItemText.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using Availability = HeadsetSnapshot::Availability;

HeadsetSnapshot connected(std::optional<std::uint8_t> battery, std::optional<bool> charging = false) {
    HeadsetSnapshot s;
    s.availability = Availability::connected();
    s.model = ModelInfo{};
    s.batteryPercent = battery;
    s.batteryCharging = charging;
    s.volume = HeadphoneVolume{false, 12, 40};
    return s;
}

TEST(StatusItemText, titleAndToolTip) {
    const UserDefaults defaults(testing::freshFilePath());
    const Localization english({defaults, [] { return QStringList{"en-US"}; }});
    const status::Flags both{true, true}, none{false, false};
    EXPECT_EQ(status::title(connected(80, true), both), " 80%\u26A1 \u00B7 12");
    EXPECT_EQ(status::title(connected(std::nullopt), both), " 12");
    EXPECT_EQ(status::title(connected(80), none), "");

    EXPECT_EQ(status::toolTip(connected(80, true), english), "AVRANE H9 \u2014 Battery 80%");
    HeadsetSnapshot anonymous = connected(std::nullopt);
    anonymous.model.reset();
    EXPECT_EQ(status::toolTip(anonymous, english), "Headset");
    // The volume too when the title shows it: a small icon has room for the battery alone.
    EXPECT_EQ(status::toolTip(connected(80), english, both), "AVRANE H9 \u2014 Battery 80% \u00B7 Volume 12");
    HeadsetSnapshot held;
    held.availability = Availability::dongleInUse("cannot open /dev/ttyACM0: Device or resource busy");
    EXPECT_EQ(status::toolTip(held, english), "Dongle in use by another program");
}

TEST(StatusItemText, titleIsRedrawnOnlyWhenItChanges) {
    const UserDefaults defaults(testing::freshFilePath());
    const Localization english({defaults, [] { return QStringList{"en-US"}; }});
    StatusItemModel model(english, defaults);
    EXPECT_EQ(model.relabel(), std::nullopt) << "nothing to show before the first snapshot";
    EXPECT_EQ(model.render(connected(80)), (StatusItemModel::Output{" 80%", "AVRANE H9 \u2014 Battery 80%"}));
    EXPECT_EQ(model.render(connected(80, true)), (StatusItemModel::Output{" 80%\u26A1", "AVRANE H9 \u2014 Battery 80%"}));
    // The same title again: the tool tip only.
    EXPECT_EQ(model.render(connected(80, true)).title, std::nullopt);
    EXPECT_EQ(model.relabel()->title, std::nullopt);
    // A preference change draws the title again, in its new form.
    MenuBarPreferences::setFlag(MenuBarPreferences::showsVolumeText, true, defaults);
    EXPECT_EQ(model.preferencesChanged()->title, " 80%\u26A1 \u00B7 12");
    EXPECT_EQ(model.preferencesChanged()->title, " 80%\u26A1 \u00B7 12");
}

TEST(PanelToggle, clicksDeactivationAndDoubleClicks) {
    using Action = PanelToggle::Action;
    PanelToggle toggle;
    const PanelToggle::Time t{std::chrono::hours(100)};
    EXPECT_EQ(toggle.activated(t, false), Action::open);
    toggle.opened(t);
    EXPECT_FALSE(toggle.deactivated(t + 200ms)) << "within 0.3 s of opening";
    EXPECT_EQ(toggle.activated(t + 250ms, true, true), Action::nothing) << "second half of a double click";
    EXPECT_TRUE(toggle.deactivated(t + 2s));
    // The click on the tray item that took activation away must not reopen the panel.
    EXPECT_EQ(toggle.activated(t + 2s + 100ms, false), Action::nothing);
    EXPECT_EQ(toggle.activated(t + 3s, false), Action::open);
    toggle.opened(t + 3s);
    EXPECT_EQ(toggle.activated(t + 5s, true), Action::close);
    // GNOME reports only double clicks: each one acts.
    EXPECT_EQ(toggle.activated(t + 8s, false, true), Action::open);
    EXPECT_EQ(toggle.activated(t + 10s, true, true), Action::close);
    // The open window made anew as the drop-down loses the keyboard on the way, late: once.
    toggle.opened(t + 20s);
    toggle.remade(t + 30s);
    EXPECT_FALSE(toggle.deactivated(t + 30s + 400ms));
    EXPECT_TRUE(toggle.deactivated(t + 30s + 900ms));
    // Closed and opened again, the panel is no longer the one made anew.
    toggle.remade(t + 40s);
    toggle.opened(t + 40s + 500ms);
    EXPECT_TRUE(toggle.deactivated(t + 41s));
}

}  // namespace
}  // namespace avrane
