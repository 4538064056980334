#include "Soak/WarningTally.h"

#include <gtest/gtest.h>

namespace avrane::soak {
namespace {

using namespace std::chrono_literals;

TEST(WarningTallyTests, WarningsAreToldFromDiagnosticsAndTheLayoutDump) {
    WarningTally tally;
    const WarningTally::Clock::time_point t0{};
    tally.line(t0, "2026-12-06T13:36:19Z  connected  ·  battery 79%");
    tally.line(t0, "2026-12-06T13:36:19Z  NTFY receiver->pc  headphoneVolume  [00 10 53]");
    tally.line(t0, "2026-12-06T13:36:20Z  WRITE FAILED [AvraneKit.EventID.ledSetting]  no reply to ledSetting");
    tally.line(t0, "--- panel 360x640 at 900,24, visible=true, statusItem 22x22 at 1257,1 ---");
    tally.line(t0, "PanelViewController  360x640 at 0,0");
    tally.line(t0, "  QLabel  100x32 at 8,-4 \"Two lines");
    tally.line(t0, "of text\"");
    tally.line(t0, "2026-12-06T13:36:21Z  FAILED modelInfo read  no reply to modelInfo");
    tally.line(t0 + 1s, "qt.qpa.xcb: QXcbConnection: XCB error: 3 (BadWindow), sequence: 512");
    tally.line(t0 + 50s, "qt.qpa.xcb: QXcbConnection: XCB error: 3 (BadWindow), sequence: 913");
    tally.line(t0 + 200s, "QObject::startTimer: Timers cannot be started from another thread");
    tally.line(t0 + 300s, "QObject::startTimer: Timers cannot be started from another thread");

    EXPECT_EQ(tally.layoutDump().size(), 4u);
    EXPECT_EQ(tally.diagnostics(),
              (std::map<std::string, int>{{"FAILED", 1}, {"NTFY", 1}, {"WRITE FAILED", 1}, {"snapshot", 1}}));
    EXPECT_EQ(tally.warningCount(), 4);
    const auto warnings = tally.warnings();
    ASSERT_EQ(warnings.size(), 2u);  // the numbers differ, the warning is the same
    EXPECT_EQ(warnings[0].count, 2);
    EXPECT_EQ(warnings[0].shortestGap, 49s);
    const auto repeated = tally.repeatedWithinAMinute();
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated[0].text, "qt.qpa.xcb: QXcbConnection: XCB error: 3 (BadWindow), sequence: 512");
}

}  // namespace
}  // namespace avrane::soak
