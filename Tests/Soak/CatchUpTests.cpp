#include "Soak/CatchUp.h"

#include <gtest/gtest.h>

namespace avrane::soak {
namespace {

using namespace std::chrono_literals;

class CatchUpTests : public ::testing::Test {
protected:
    CatchUp catchUp;
    const CatchUp::Clock::time_point end{};  // the faults' end

    void differs(std::chrono::milliseconds at, const char* what) { catchUp.observe(end + at, what); }
    void equal(std::chrono::milliseconds at) { catchUp.observe(end + at, ""); }
    std::optional<CatchUp::Clock::duration> caughtUpAt(std::chrono::milliseconds at) const { return catchUp.caughtUp(end + at); }
};

// The first equality after the faults ends the catching up however it went; a later
// difference moves the end only when it lasts longer than a change in transit.
TEST_F(CatchUpTests, BriefDifferencesAfterTheFirstEqualityDoNotCount) {
    differs(0ms, "Availability no-dongle, the headset connected");
    catchUp.faultsEnded(end);
    differs(100ms, "Availability no-dongle, the headset connected");
    EXPECT_EQ(caughtUpAt(300ms), std::nullopt);
    equal(900ms);
    EXPECT_EQ(caughtUpAt(900ms), 900ms);
    EXPECT_EQ(catchUp.lastDifference(), "Availability no-dongle, the headset connected");
    EXPECT_TRUE(catchUp.settled(end + 900ms));

    differs(2000ms, "Volume 15, the headset 16");  // a button pressed, on its way
    EXPECT_FALSE(catchUp.settled(end + 2000ms));
    EXPECT_EQ(caughtUpAt(2300ms), 900ms);
    equal(2300ms);
    EXPECT_EQ(caughtUpAt(2300ms), 900ms);

    differs(3000ms, "Volume 16, the headset 18");  // missed: it stays
    EXPECT_EQ(caughtUpAt(3600ms), std::nullopt);
    equal(4000ms);
    EXPECT_EQ(caughtUpAt(4000ms), 4000ms);
    EXPECT_EQ(catchUp.lastDifference(), "Volume 16, the headset 18");
}

TEST_F(CatchUpTests, EqualAtTheEndOfTheFaultsIsCaughtUpAtOnceAndDuringFaultsNothingCounts) {
    catchUp.faultsEnded(end);
    equal(0ms);
    EXPECT_EQ(caughtUpAt(0ms), 0ms);

    catchUp.faultsBegin();
    differs(1000ms, "Led unknown, the headset on");
    equal(1500ms);
    EXPECT_FALSE(catchUp.settled(end + 1500ms));
    catchUp.faultsEnded(end + 2000ms);
    EXPECT_EQ(caughtUpAt(9000ms), std::nullopt);  // never compared since: never caught up
}

}  // namespace
}  // namespace avrane::soak
