#include <gmock/gmock.h>

#include "AvraneBar/Alerts/LowBatteryAlerts.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using ::testing::ElementsAre;

// A battery level the headset reports; no percent: no headset.
struct Level {
    std::optional<std::uint8_t> percent;
    bool charging = false;
};

class LowBatteryAlertsTest : public ::testing::Test {
protected:
    // What each level makes the alerts do: "", "withdraw", or the alert's level and body.
    std::vector<std::string> run(std::initializer_list<Level> levels, bool enabled = true) {
        std::vector<std::string> done;
        for (const Level& level : levels) {
            HeadsetSnapshot s;
            s.availability = level.percent ? HeadsetSnapshot::Availability::connected()
                                           : HeadsetSnapshot::Availability::noDongle("unplugged");
            s.model = ModelInfo{};
            s.batteryPercent = level.percent;
            s.batteryCharging = level.charging;
            const auto action = alerts.update(s, enabled);
            if (const auto* show = std::get_if<LowBatteryAlerts::Show>(&action)) {
                done.push_back((show->level == LowBatteryAlerts::Level::low ? "low " : "critical ") +
                               show->body.section(u' ', 0, 0).toStdString());
            } else {
                done.push_back(std::holds_alternative<LowBatteryAlerts::Withdraw>(action) ? "withdraw" : "");
            }
        }
        return done;
    }

    UserDefaults defaults{testing::freshFilePath()};
    Localization texts{{defaults, [] { return QStringList{"en-US"}; }}};
    LowBatteryAlerts alerts{&texts};
};

// Under 15 %, again under 5 %, each once however the level wobbles; charging takes the alert
// away and, once the level is 5 points clear of a threshold, arms it again.
TEST_F(LowBatteryAlertsTest, oncePerCrossingNeverWhileCharging) {
    EXPECT_THAT(run({{20}, {15}, {14}, {15}, {14}, {13}, {5}, {4}, {5}, {6}, {4}, {3}}),
                ElementsAre("", "", "low 14%", "", "", "", "", "critical 4%", "", "", "", ""));
    // Unplugged under 5 % after a fall while charging: that crossing is told then.
    EXPECT_THAT(run({{3, true}, {4, true}, {40, true}, {40}, {14}, {2, true}, {2}}),
                ElementsAre("withdraw", "", "", "", "low 14%", "withdraw", "critical 2%"));
    // Charged to 12 %: 5 points clear of 5 % but not of 15 %.
    EXPECT_THAT(run({{12, true}, {12}, {9}, {4}}), ElementsAre("withdraw", "", "", "critical 4%"));
}

TEST_F(LowBatteryAlertsTest, aStartBelowAThresholdAndAFallPastBothAlertOnce) {
    EXPECT_THAT(run({{10}, {9}}), ElementsAre("low 10%", ""));
    alerts = LowBatteryAlerts{&texts};
    EXPECT_THAT(run({{30}, {3}, {2}}), ElementsAre("", "critical 3%", ""));
}

TEST_F(LowBatteryAlertsTest, anUnknownLevelLeavesTheAlertAndTurningAlertsOffTakesItAway) {
    EXPECT_THAT(run({{14}, {std::nullopt}, {14}}), ElementsAre("low 14%", "", ""));
    EXPECT_TRUE(alerts.isShowing());
    EXPECT_THAT(run({{14}, {4}}, false), ElementsAre("withdraw", "")) << "crossings while off pass silently";
    EXPECT_THAT(run({{3}}), ElementsAre(""));
}

TEST_F(LowBatteryAlertsTest, titleAndBodyInTheCurrentLanguage) {
    HeadsetSnapshot s;
    s.availability = HeadsetSnapshot::Availability::connected();
    s.model = ModelInfo{};
    s.batteryPercent = 4;
    texts.setLanguage(Language::korean);
    EXPECT_EQ(std::get<LowBatteryAlerts::Show>(alerts.update(s, true)).title, "AVRANE H9 배터리 거의 없음");
}

}  // namespace
}  // namespace avrane
