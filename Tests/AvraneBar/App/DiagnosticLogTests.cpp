#include <gmock/gmock.h>

#include "AvraneBar/App/DiagnosticLog.h"

namespace avrane::diagnostics {
namespace {

// The line's time stamp and its state without a dongle: the application's own test.
TEST(DiagnosticLog, snapshotSummaryNamesEveryKnownField) {
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

}  // namespace
}  // namespace avrane::diagnostics
