#include "UpdateCheckerFixture.h"

namespace avrane::testing {
namespace {

using namespace std::chrono_literals;

struct DueRow {
    const char* name;
    std::optional<const char*> storedInterval;
    std::optional<std::chrono::seconds> lastCheckAgo;  // negative: in the future
    bool checks;
};

TEST_F(UpdateCheckerTest, checkIfDueFollowsTheStoredSchedule) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    const DueRow rows[] = {
        {"first launch", std::nullopt, std::nullopt, true},
        {"first launch, never", "never", std::nullopt, false},
        {"never, long ago", "never", 3650 * 24h, false},
        {"hourly, 30 min", "hourly", 30min, false},
        {"hourly, 59 min 59 s", "hourly", 3599s, false},
        {"hourly, 60 min", "hourly", 60min, true},
        {"every six hours, 6 h", "sixHourly", 6h, true},
        {"weekly, 6 days", "weekly", 6 * 24h, false},
        {"weekly, 7 days", "weekly", 7 * 24h, true},
        {"daily when unset, 23 h", std::nullopt, 23h, false},
        {"daily when unset, 24 h", std::nullopt, 24h, true},
        {"unknown interval reads daily, 23 h", "fortnightly", 23h, false},
        {"unknown interval reads daily, 24 h", "fortnightly", 24h, true},
        {"raw values are case-sensitive", "Hourly", 1h, false},
        {"date in the future", "hourly", -2h, false},
        {"date far in the past", "hourly", 100'000 * 24h, true},
    };
    for (const DueRow& row : rows) {
        SCOPED_TRACE(row.name);
        defaults.remove(UpdateChecker::intervalKey);
        defaults.remove(UpdateChecker::lastCheckKey);
        if (row.storedInterval) defaults.setText(UpdateChecker::intervalKey, *row.storedInterval);
        if (row.lastCheckAgo) defaults.setDate(UpdateChecker::lastCheckKey, now - *row.lastCheckAgo);
        const int requestsBefore = server.requests(manifestPath);

        checker->checkIfDue();
        EXPECT_EQ(isBusy(checker->state()), row.checks);
        if (row.checks) {
            ASSERT_TRUE(settle());
            EXPECT_EQ(server.requests(manifestPath), requestsBefore + 1);
            EXPECT_EQ(defaults.date(UpdateChecker::lastCheckKey), storedNow());
        }
    }
}

TEST_F(UpdateCheckerTest, lastCheckThatIsNotADateCountsAsAbsent) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    defaults.setText(UpdateChecker::lastCheckKey, "2024-01-01T00:00:00Z");
    checker->checkIfDue();
    EXPECT_TRUE(isBusy(checker->state()));
    ASSERT_TRUE(settle());
}

TEST_F(UpdateCheckerTest, failedAutomaticCheckWaitsAWholeInterval) {
    server.respond(manifestPath, {500, "down"});
    UpdateChecker::setInterval(UpdateCheckInterval::hourly, defaults);

    checker->checkIfDue();
    ASSERT_TRUE(settle());
    EXPECT_EQ(checker->state(), State{UpdateChecker::Idle{}});
    const TimePoint failedAt = storedNow();
    EXPECT_EQ(defaults.date(UpdateChecker::lastCheckKey), failedAt);

    now += 59min;
    checker->checkIfDue();
    EXPECT_FALSE(isBusy(checker->state()));
    now += 1min;
    checker->checkIfDue();
    EXPECT_TRUE(isBusy(checker->state()));
    ASSERT_TRUE(settle());
    EXPECT_EQ(server.requests(manifestPath), 2);
}

TEST_F(UpdateCheckerTest, neverStillAllowsACheckFromThePanel) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    UpdateChecker::setInterval(UpdateCheckInterval::never, defaults);
    checker->check(true);
    ASSERT_TRUE(settle());
    EXPECT_EQ(checker->state(), State{UpdateChecker::UpToDate{now}});
    EXPECT_EQ(defaults.date(UpdateChecker::lastCheckKey), storedNow());
}

TEST(UpdateCheckInterval, storedAsItsRawText) {
    const UserDefaults defaults(freshFilePath());
    EXPECT_EQ(UpdateChecker::interval(defaults), UpdateCheckInterval::daily);
    for (const auto interval : allUpdateCheckIntervals) {
        UpdateChecker::setInterval(interval, defaults);
        EXPECT_EQ(UpdateChecker::interval(defaults), interval);
        EXPECT_EQ(defaults.text(UpdateChecker::intervalKey), rawValue(interval));
        EXPECT_EQ(updateCheckIntervalFromRaw(rawValue(interval)), interval);
    }
    EXPECT_EQ(rawValue(UpdateCheckInterval::sixHourly), QString("sixHourly"));
    EXPECT_EQ(updateCheckIntervalFromRaw(u"sixhourly"), std::nullopt);
}

}  // namespace
}  // namespace avrane::testing
