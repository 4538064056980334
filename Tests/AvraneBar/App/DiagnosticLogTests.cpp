#include <gmock/gmock.h>

#include "AvraneBar/App/DiagnosticLog.h"

namespace avrane::diagnostics {
namespace {

using namespace std::chrono_literals;

TEST(DiagnosticLog, snapshotLineNamesEveryKnownField) {
    const TimePoint at = std::chrono::sys_days{std::chrono::May / 1 / 2024} + 9h + 30min + 5s + 700ms;
    EXPECT_EQ(snapshotLine(at, HeadsetSnapshot{}), "2024-05-01T09:30:05Z  no-dongle (Looking for dongle\u2026)\n");

    HeadsetSnapshot s;
    s.availability = HeadsetSnapshot::Availability::connected();
    s.batteryPercent = 80;
    s.volume = HeadphoneVolume{true, 15, 50};
    s.balance = GameChatBalance(65);
    s.sidetone = SidetoneVolume{5, 50};
    s.micMuted = true;
    s.ambient = AmbientSetting{NoiseCancellingMode::ambientSound, 10, true, 50};
    s.autoPowerOff = AutoPowerOff::after180Minutes;
    s.led = LEDSetting{false};
    s.firmware = FirmwareVersion{};  // not logged
    EXPECT_EQ(snapshotSummary(s),
              "connected  \u00B7  battery 80%  \u00B7  volume 15 muted  \u00B7  balance +1.5  \u00B7  sidetone 5  \u00B7  "
              "mic muted  \u00B7  anc ambientSound/10/vf  \u00B7  apo 180  \u00B7  led off");
    HeadsetSnapshot lost;
    lost.availability = HeadsetSnapshot::Availability::headsetUnreachable("no reply to batteryInfo");
    lost.balance = GameChatBalance(0);
    EXPECT_EQ(snapshotSummary(lost), "unreachable (no reply to batteryInfo)  \u00B7  balance -5.0");
}

// The header, the nesting and the controls' lines are read back from the application's own
// dump; a label's text and the numbers are not.
TEST(DiagnosticLog, layoutLines) {
    EXPECT_EQ(layoutLine(1, "QLabel", {2, 24, 300, 12}, false, TextContent{"Battery 80%"}),
              "  QLabel  300x12 at 2,24 \"Battery 80%\"\n");
    EXPECT_EQ(shortestNumber(0), "0.0");
    EXPECT_EQ(shortestNumber(12), "12.0");
    EXPECT_EQ(shortestNumber(0.1), "0.1");
    EXPECT_EQ(shortestNumber(-5), "-5.0");
}

}  // namespace
}  // namespace avrane::diagnostics
