#include "Soak/WriteLedger.h"

#include <gtest/gtest.h>

#include "AvraneKit/Settings/Payload.h"
#include "AvraneKit/Settings/VolumeSettings.h"

namespace avrane::soak {
namespace {

using namespace std::chrono_literals;
using Outcome = SetCall::Outcome;

class WriteLedgerTests : public ::testing::Test {
protected:
    // Caller 1 owns the volume and the light, caller 2 the noise-cancelling record.
    WriteLedger ledger{{{EventID::headphoneVolume, 1}, {EventID::ledSetting, 1}, {EventID::ambSetting, 2}}};
    const Clock::time_point t0{};

    Clock::time_point at(double seconds) const {
        return t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }
    void call(int caller, const char* setting, const char* value, double from, double to, Outcome outcome) {
        ledger.recordCall({caller, setting, value, at(from), at(to), outcome, {}});
    }
    void volumeStored(std::uint8_t level, double when) {
        ledger.recordWrite({EventID::headphoneVolume, encodePayload(HeadphoneVolume{false, level, 50}), at(when)});
    }
    void ledStored(bool on, double when) { ledger.recordWrite({EventID::ledSetting, {std::uint8_t(on)}, at(when)}); }
    std::vector<std::string> lostWhy() const {
        std::vector<std::string> why;
        for (const auto& lost : ledger.tally().lost) why.push_back(lost.call.setting + " " + lost.call.value + ": " + lost.why);
        return why;
    }
};

TEST_F(WriteLedgerTests, EachCallIsJudgedByWhatTheHeadsetStoredWhileItRan) {
    call(1, "volume", "20", 0, 1, Outcome::confirmed);
    volumeStored(20, 0.5);
    volumeStored(20, 0.7);  // a retry: the same write twice
    call(1, "led", "off", 2, 3, Outcome::failed);  // the headset took nothing: a true failure
    call(1, "volume", "21", 4, 5, Outcome::confirmed);  // confirmed, yet nothing stored
    call(1, "volume", "22", 6, 7, Outcome::failed);
    volumeStored(22, 6.5);  // stored all the same
    call(1, "led", "on", 8, 38, Outcome::unanswered);

    const WriteLedger::Tally tally = ledger.tally();
    EXPECT_EQ(tally.asked, 5);
    EXPECT_EQ(tally.confirmed, 1);
    EXPECT_EQ(tally.failed, 1);
    EXPECT_EQ(lostWhy(), (std::vector<std::string>{"volume 21: confirmed, but the headset never stored it",
                                                   "volume 22: reported failed, but the headset stored it during the call",
                                                   "led on: never answered"}));
    EXPECT_TRUE(tally.unexplained.empty());
}

// A failed call whose write the application runs after the caller was told: the headset
// stores it while the caller's next call runs, or between calls.
TEST_F(WriteLedgerTests, AWriteThatLandsAfterItsCallFailedIsLost) {
    call(1, "volume", "10", 0, 5, Outcome::failed);
    call(1, "led", "on", 6, 7, Outcome::failed);
    volumeStored(10, 6.5);
    call(1, "volume", "11", 8, 9, Outcome::confirmed);
    volumeStored(11, 8.5);
    volumeStored(11, 9.5);  // a confirmed write stored once more later: late, but not lost
    ledStored(true, 12);    // long after: still its call's
    volumeStored(3, 13);    // nobody asked for this one

    const WriteLedger::Tally tally = ledger.tally();
    EXPECT_EQ(lostWhy(), (std::vector<std::string>{"volume 10: reported failed, but the headset stored it 1.5 s after",
                                                   "led on: reported failed, but the headset stored it 5.0 s after"}));
    EXPECT_EQ(tally.confirmed, 1);
    EXPECT_EQ(tally.lateRepeats, 1);
    ASSERT_EQ(tally.unexplained.size(), 1u);
    EXPECT_EQ(tally.unexplained[0].arrival, at(13));
}

// A write that went out before the dongle was pulled out is told to its caller as one the
// headset may have taken, stored or not. Told so while the dongle stayed in, or stored after
// the call, the caller was misled; told it failed when the headset had taken it, too.
TEST_F(WriteLedgerTests, AnUnconfirmedWriteIsHonestOnlyWhenTheDongleWentDuringIt) {
    call(1, "volume", "10", 0, 3, Outcome::unconfirmed);
    volumeStored(10, 1);
    ledger.recordUnplug(at(1.5));
    call(1, "volume", "11", 4, 7, Outcome::unconfirmed);
    ledger.recordUnplug(at(4.5));
    call(1, "volume", "12", 8, 9, Outcome::unconfirmed);
    call(1, "led", "off", 10, 12, Outcome::unconfirmed);
    ledger.recordUnplug(at(11));
    ledStored(false, 13);
    call(1, "volume", "13", 14, 16, Outcome::failed);
    volumeStored(13, 14.5);
    ledger.recordUnplug(at(15));

    const WriteLedger::Tally tally = ledger.tally();
    ASSERT_EQ(tally.unconfirmed.size(), 2u);
    EXPECT_EQ(tally.unconfirmedStored, 1);
    EXPECT_EQ(lostWhy(), (std::vector<std::string>{"volume 12: reported unconfirmed, but the dongle stayed in during the call",
                                                   "led off: reported unconfirmed, but the headset stored it 1.0 s after",
                                                   "volume 13: reported failed, but the headset stored it during the call"}));
    EXPECT_EQ(tally.failed, 0);
}

// A value is refused while an unsettled call of the same caller could still store it, so
// that a late write can never pass for a later call's own.
TEST_F(WriteLedgerTests, ValuesThatAnUnsettledCallCouldStoreAreRefused) {
    call(1, "volume", "10", 0, 5, Outcome::failed);
    EXPECT_FALSE(ledger.mayWrite(1, "volume", "10"));
    EXPECT_TRUE(ledger.mayWrite(1, "volume", "12"));
    EXPECT_TRUE(ledger.mayWrite(2, "anc", "nc"));  // another caller's items

    // A field of the same record carries whatever was read with it: any value could come.
    call(2, "anc", "nc", 6, 7, Outcome::failed);
    EXPECT_FALSE(ledger.mayWrite(2, "ambient-level", "5"));
    EXPECT_TRUE(ledger.mayWrite(2, "anc", "off"));
    // Balances written either way are one value.
    WriteLedger balances{{{EventID::gameChatMixBalance, 3}}};
    balances.recordCall({3, "balance", "2", at(0), at(1), Outcome::failed, {}});
    EXPECT_FALSE(balances.mayWrite(3, "balance", "2.0"));

    // A later confirmed call of the caller settles everything before it, except itself.
    call(1, "led", "off", 8, 9, Outcome::confirmed);
    EXPECT_TRUE(ledger.mayWrite(1, "volume", "10"));
    EXPECT_FALSE(ledger.mayWrite(1, "led", "off"));
    EXPECT_TRUE(ledger.mayWrite(1, "led", "on"));
    EXPECT_FALSE(ledger.mayWrite(2, "ambient-level", "5"));
}

}  // namespace
}  // namespace avrane::soak
