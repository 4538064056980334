#include <gmock/gmock.h>

#include "AvraneBar/Panel/PanelTexts.h"
#include "Support/QtTestSupport.h"

namespace avrane::panel {
namespace {

using namespace std::chrono_literals;

struct Texts : ::testing::Test {
    UserDefaults defaults{testing::freshFilePath()};
    TimePoint now = std::chrono::sys_days{std::chrono::May / 1 / 2024} + 9h;
    Localization english{{defaults, [] { return QStringList{"en-GB"}; }, [this] { return now; }}};
    Localization korean{{defaults, [] { return QStringList{"ko-KR"}; }, [this] { return now; }}};
};

TEST_F(Texts, batteryLineSaysLevelChargingAndHowLongAgo) {
    const auto battery = [](std::optional<std::uint8_t> percent, std::optional<bool> charging,
                            std::optional<TimePoint> changedAt) {
        HeadsetSnapshot s;
        s.availability = HeadsetSnapshot::Availability::connected();
        s.batteryPercent = percent;
        s.batteryCharging = charging;
        s.batteryLevelChangedAt = changedAt;
        return s;
    };
    EXPECT_EQ(batteryLine(battery(80, false, now - 5min), english, now).text, "Battery 80%  \u00B7  5 min ago");
    EXPECT_EQ(batteryLine(battery(80, std::nullopt, now - 2h), korean, now).text, "배터리 80%  \u00B7  2시간 전");
    EXPECT_EQ(batteryLine(battery(80, true, std::nullopt), english, now), (BatteryLine{"Charging  80%", Tone::secondary, 80, true}));
    EXPECT_EQ(batteryLine(battery(std::nullopt, false, std::nullopt), english, now),
              (BatteryLine{"Battery not reported", Tone::secondary, std::nullopt, false}));
    EXPECT_EQ(batteryLine(battery(std::nullopt, true, std::nullopt), korean, now).text, "충전 중");
}

TEST_F(Texts, batteryColoursWarnBeforeItRunsOut) {
    const struct {
        std::uint8_t percent;
        bool charging;
        Tone text, gauge;
    } rows[] = {{14, false, Tone::red, Tone::red},       {15, false, Tone::orange, Tone::orange},
                {29, false, Tone::orange, Tone::orange}, {30, false, Tone::secondary, Tone::green},
                {10, true, Tone::secondary, Tone::green}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.percent));
        EXPECT_EQ(batteryTone(row.percent, row.charging), row.text);
        EXPECT_EQ(gaugeTone(row.percent, row.charging), row.gauge);
    }
    EXPECT_EQ(batteryTone(std::nullopt, false), Tone::secondary);
    // A 200 x 6 gauge: nothing for 0 %, never thinner than a circle, proportional above.
    EXPECT_EQ(gaugeFillWidth(0, 200, 6), 0);
    EXPECT_EQ(gaugeFillWidth(1, 200, 6), 6);
    EXPECT_EQ(gaugeFillWidth(50, 200, 6), 100);
}

TEST_F(Texts, valuesInWords) {
    EXPECT_EQ(balanceText(GameChatBalance(std::uint8_t(45)).uiValue(), english), "Game 0.5");
    using Power = BluetoothStatus::Power;
    using Link = BluetoothStatus::Link;
    EXPECT_EQ(bluetoothStateText(BluetoothStatus{Power::on, Link::connected}, english), "On \u00B7 Connected");
    EXPECT_EQ(bluetoothStateText(BluetoothStatus{Power::on, std::nullopt}, english), "Not connected");
    EXPECT_EQ(bluetoothStateText(BluetoothStatus{std::nullopt, Link::connected}, english), "Off");
    EXPECT_EQ(bluetoothStateText(std::nullopt, korean), "정보 없음");
}

}  // namespace
}  // namespace avrane::panel
