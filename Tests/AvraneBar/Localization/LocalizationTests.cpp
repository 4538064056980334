#include <gmock/gmock.h>

#include <QDir>

#include "AvraneBar/Localization/Localization.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using TimePoint = Localization::TimePoint;

struct Desk {
    UserDefaults defaults{testing::freshFilePath()};
    QStringList preferred = {"en-US"};
    TimePoint now{1'700'000'000'987'654'321ns};  // not a whole second: boundaries at full precision

    Localization make(QStringList desktop) {
        preferred = std::move(desktop);
        return Localization({defaults, [this] { return preferred; }, [this] { return now; }});
    }
};

TEST(Localization, effectiveLanguageFromTheChoiceAndTheDesktop) {
    // stored choice, desktop's preferred languages, resulting choice, whether texts are Korean
    const std::tuple<const char*, QStringList, Language, bool> rows[] = {
        {nullptr, {"ko-KR", "en-US"}, Language::system, true},
        {nullptr, {}, Language::system, false},
        {nullptr, {"en-US", "ko-KR"}, Language::system, false},  // the first one counts
        {"system", {"kok-IN"}, Language::system, false},  // Konkani
        {"korean", {"en-US"}, Language::korean, true},
        {"Korean", {"en-GB"}, Language::system, false},  // not a raw value: follows the desktop
    };
    for (const auto& [stored, desktop, choice, korean] : rows) {
        SCOPED_TRACE(stored ? stored : "nothing stored");
        Desk desk;
        if (stored) desk.defaults.setText(Localization::languageKey, stored);
        const Localization localization = desk.make(desktop);
        EXPECT_EQ(localization.language(), choice);
        EXPECT_EQ(localization.text(Str::quit), korean ? QString("종료") : QString("Quit"));
        EXPECT_EQ(desk.defaults.text(Localization::languageKey).value_or("-"), stored ? stored : "-");  // never rewritten
    }
}

TEST(Localization, choosingALanguageStoresAndAnnouncesRealChangesOnly) {
    Desk desk;
    desk.defaults.setText(Localization::languageKey, "englsh");
    Localization localization = desk.make({"en-US"});
    QObject context;
    int announced = 0;
    NotificationCenter::defaultCenter().observe(Localization::didChange, &context, [&] { ++announced; });

    localization.setLanguage(Language::system);  // already the choice
    localization.setLanguage(Language::korean);
    localization.setLanguage(Language::korean);
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(localization.text(Str::cancel), QString("취소"));
    EXPECT_EQ(desk.make({}).language(), Language::korean);
}

// A folder where the file should be: nothing can be saved there.
TEST(Localization, choiceThatCannotBeSavedIsTracedAndNotTaken) {
    const QString folder = testing::freshFilePath();
    ASSERT_TRUE(QDir().mkpath(folder));
    std::vector<std::string> lines;
    Localization localization({UserDefaults(folder), [] { return QStringList{"en-US"}; },
                               [] { return TimePoint{}; },
                               SettingsTrace([&](std::string_view line) { lines.emplace_back(line); })});
    QObject context;
    int announced = 0;
    NotificationCenter::defaultCenter().observe(Localization::didChange, &context, [&] { ++announced; });

    localization.setLanguage(Language::korean);
    EXPECT_EQ(localization.language(), Language::system);
    EXPECT_EQ(localization.text(Str::quit), QString("Quit"));
    EXPECT_EQ(announced, 0);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], ::testing::MatchesRegex(".*Z  SETTING NOT SAVED language=korean  \\(.*\\)\n"));
}

TEST(Localization, elapsedTimeAtItsBoundaries) {
    // how long ago (negative: still to come), English, Korean
    const std::tuple<std::chrono::nanoseconds, const char*, const char*> rows[] = {
        {59s, "just now", "방금"},          {60s, "1 min ago", "1분 전"},
        {59min + 59s, "59 min ago", "59분 전"}, {60min, "1 h ago", "1시간 전"},
        {1000 * 24h, "24000 h ago", "24000시간 전"},  // no digit grouping
        {-1s, "just now", "방금"},
    };
    Desk desk;
    for (const auto& [ago, english, korean] : rows) {
        EXPECT_EQ(desk.make({"en"}).elapsed(desk.now - ago), QString::fromUtf8(english));
        EXPECT_EQ(desk.make({"ko"}).elapsed(desk.now - ago), QString::fromUtf8(korean));
    }
    EXPECT_TRUE(desk.make({"en"}).elapsed(TimePoint::min()).endsWith(" h ago"));  // no overflow
}

TEST(Localization, aVersionIsTakenAsText) {
    Desk desk;
    EXPECT_EQ(desk.make({"en"}).updateAvailable(u"%2"), QString("Version %2 is available"));
}

TEST(Localization, sharedInstanceReadsTheUsersSettings) {
    // The one test that creates the shared instance, after storing the choice.
    UserDefaults::standard().setText(Localization::languageKey, "korean");
    EXPECT_EQ(Localization::shared().language(), Language::korean);
    EXPECT_EQ(localizedMinutes(5), QString("5분"));
    EXPECT_EQ(localizedElapsed(std::chrono::system_clock::now() - 2h), QString("2시간 전"));
}

}  // namespace
}  // namespace avrane
