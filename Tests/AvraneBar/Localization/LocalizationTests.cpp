#include <gmock/gmock.h>

#include "AvraneBar/Localization/Localization.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "QtSupport/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using testing::freshFilePath;
using TimePoint = Localization::TimePoint;

struct Fixture {
    UserDefaults defaults{freshFilePath()};
    QStringList preferred = {QStringLiteral("en-US")};
    // Not a whole second, so that boundaries are checked at full precision.
    TimePoint now{std::chrono::nanoseconds(1'700'000'000'987'654'321)};

    Localization make() {
        return Localization({defaults, [this] { return preferred; }, [this] { return now; }});
    }
};

// Counts the language notifications while it lives.
struct Announcements {
    QObject context;
    int count = 0;
    Announcements() {
        NotificationCenter::defaultCenter().observe(Localization::didChange, &context, [this] { ++count; });
    }
};

struct EffectiveRow {
    const char* name;
    std::optional<const char*> stored;
    QStringList preferred;
    Language choice;
    bool korean;
};

TEST(Localization, effectiveLanguageFromTheChoiceAndTheDesktop) {
    const EffectiveRow rows[] = {
        {"nothing stored, desktop in Korean", std::nullopt, {"ko-KR", "en-US"}, Language::system, true},
        {"nothing stored, no preference", std::nullopt, {}, Language::system, false},
        {"only the first preference counts", std::nullopt, {"en-US", "ko-KR"}, Language::system, false},
        {"bare ko", "system", {"ko"}, Language::system, true},
        {"underscore form", "system", {"ko_KR"}, Language::system, true},
        {"Konkani is not Korean", "system", {"kok-IN"}, Language::system, false},
        {"Korean chosen on an English desktop", "korean", {"en-US"}, Language::korean, true},
        {"English chosen on a Korean desktop", "english", {"ko-KR"}, Language::english, false},
        {"unknown stored value follows the desktop", "Korean", {"en-GB"}, Language::system, false},
        {"unknown stored value, Korean desktop", "englsh", {"ko-KR"}, Language::system, true},
    };
    for (const EffectiveRow& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture f;
        f.preferred = row.preferred;
        if (row.stored) f.defaults.setText(Localization::languageKey, *row.stored);

        const Localization localization = f.make();
        EXPECT_EQ(localization.language(), row.choice);
        EXPECT_EQ(localization.isKorean(), row.korean);
        EXPECT_EQ(localization.text(Str::quit), row.korean ? QString("종료") : QString("Quit"));
        // Reading never writes.
        EXPECT_EQ(f.defaults.text(Localization::languageKey), row.stored ? std::optional<QString>(*row.stored) : std::nullopt);
    }
}

TEST(Localization, desktopLanguageIsReadAtEachLookup) {
    Fixture f;
    const Localization localization = f.make();
    EXPECT_EQ(localization.text(Str::cancel), QString("Cancel"));
    f.preferred = {QStringLiteral("ko-KR")};
    EXPECT_EQ(localization.text(Str::cancel), QString("취소"));
}

TEST(Localization, choosingALanguageStoresAndAnnouncesRealChangesOnly) {
    Fixture f;
    f.defaults.setText(Localization::languageKey, "englsh");
    Localization localization = f.make();
    Announcements announcements;

    localization.setLanguage(Language::system);  // already in effect: the misspelt value stays
    EXPECT_EQ(announcements.count, 0);
    EXPECT_EQ(f.defaults.text(Localization::languageKey), QString("englsh"));

    localization.setLanguage(Language::english);
    localization.setLanguage(Language::english);
    EXPECT_EQ(announcements.count, 1);
    EXPECT_EQ(f.defaults.text(Localization::languageKey), QString("english"));

    localization.setLanguage(Language::korean);
    EXPECT_EQ(announcements.count, 2);
    EXPECT_EQ(f.make().language(), Language::korean);
    EXPECT_EQ(localization.text(Str::quit), QString("종료"));
}

struct ElapsedRow {
    std::chrono::nanoseconds ago;  // negative: in the future
    const char* en;
    const char* ko;
};

TEST(Localization, elapsedTimeAtItsBoundaries) {
    const ElapsedRow rows[] = {
        {0s, "just now", "방금"},
        {59s, "just now", "방금"},
        {60s, "1 min ago", "1분 전"},
        {59min + 59s, "59 min ago", "59분 전"},
        {60min, "1 h ago", "1시간 전"},
        {119min, "1 h ago", "1시간 전"},
        {120min, "2 h ago", "2시간 전"},
        {72h, "72 h ago", "72시간 전"},
        {1000 * 24h, "24000 h ago", "24000시간 전"},  // no digit grouping
        {-1s, "just now", "방금"},
        {-3h, "just now", "방금"},
    };
    Fixture f;
    for (const ElapsedRow& row : rows) {
        SCOPED_TRACE(row.en);
        const TimePoint since = f.now - row.ago;
        f.preferred = {QStringLiteral("en-US")};
        EXPECT_EQ(f.make().elapsed(since), QString::fromUtf8(row.en));
        f.preferred = {QStringLiteral("ko-KR")};
        EXPECT_EQ(f.make().elapsed(since), QString::fromUtf8(row.ko));
    }
    // Times at the ends of the clock's range do not overflow.
    f.preferred = {QStringLiteral("en-US")};
    EXPECT_TRUE(f.make().elapsed(TimePoint::min()).endsWith(" h ago"));
    EXPECT_EQ(f.make().elapsed(TimePoint::max()), QString("just now"));
}

TEST(Localization, numberTextsInBothLanguages) {
    Fixture f;
    const Localization english = f.make();
    EXPECT_EQ(english.minutes(0), QString("Off"));
    EXPECT_EQ(english.minutes(180), QString("180 min"));
    EXPECT_EQ(english.updateAvailable(u"1.4.0"), QString("Version 1.4.0 is available"));
    EXPECT_EQ(english.updateAvailable(u"%2"), QString("Version %2 is available"));
    EXPECT_EQ(english.menuLabel(Language::system), QString("System"));

    f.preferred = {QStringLiteral("ko-KR")};
    const Localization korean = f.make();
    EXPECT_EQ(korean.minutes(0), QString("사용 안 함"));
    EXPECT_EQ(korean.minutes(180), QString("180분"));
    EXPECT_EQ(korean.updateAvailable(u"1.4.0"), QString("새 버전 1.4.0 이(가) 있습니다"));
    EXPECT_EQ(korean.menuLabel(Language::system), QString("시스템 설정"));

    for (const Localization* localization : {&english, &korean}) {
        EXPECT_EQ(localization->menuLabel(Language::korean), QString("한국어"));
        EXPECT_EQ(localization->menuLabel(Language::english), QString("English"));
    }
}

TEST(Localization, sharedInstanceReadsTheUsersSettings) {
    // The only test that touches the shared instance: it is created here, after the choice
    // was stored in the user's (test) settings file.
    UserDefaults::standard().setText(Localization::languageKey, "korean");
    EXPECT_EQ(Localization::shared().language(), Language::korean);
    EXPECT_EQ(localizedMinutes(5), QString("5분"));
    EXPECT_EQ(localizedUpdateAvailable(u"2.0"), QString("새 버전 2.0 이(가) 있습니다"));
    EXPECT_EQ(localizedElapsed(std::chrono::system_clock::now() + 1h), QString("방금"));
}

}  // namespace
}  // namespace avrane
