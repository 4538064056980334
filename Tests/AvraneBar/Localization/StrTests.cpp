#include <set>
#include <string>

#include <gmock/gmock.h>

#include "AvraneBar/Localization/Str.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

TEST(Str, everyKeyHasBothTexts) {
    EXPECT_EQ(allStrs().size(), 87u);
    std::set<std::string_view> names;
    for (const Str key : allStrs()) {
        EXPECT_TRUE(names.insert(caseName(key)).second) << caseName(key);
        EXPECT_FALSE(en(key).trimmed().isEmpty() || ko(key).trimmed().isEmpty()) << caseName(key);
    }
}

// Texts that repeat in English under other keys, the ends of the table, characters beyond
// ASCII, and the desktop's own words: where a shifted or mistyped row would show.
TEST(Str, textsSitUnderTheirKeys) {
    const std::tuple<Str, const char*, const char*> rows[] = {
        {Str::headset, "Headset", "헤드셋"},
        {Str::lookingForDongle, "Looking for dongle…", "동글을 찾고 있습니다…"},
        {Str::ancOff, "Off", "끄기"},
        {Str::autoPowerOffOff, "Off", "사용 안 함"},
        {Str::off, "Off", "꺼짐"},
        {Str::quit, "Quit", "종료"},
        {Str::ledHint, "The light on the earcup. Off lets the headset turn it dark by itself — Zur calls this AUTO LED OFF.",
         "하우징의 표시등입니다. 끄면 헤드셋이 표시등을 스스로 꺼둡니다. Zur에서는 AUTO LED OFF 항목입니다."},
#ifndef __APPLE__
        {Str::thisMac, "This computer", "이 컴퓨터"},
        {Str::showInDock, "Show in taskbar", "작업 표시줄에 표시"},
        {Str::dockHint, "With the taskbar entry on, the app also appears in Alt-Tab.", "작업 표시줄 항목을 켜면 Alt-Tab에도 함께 나타납니다."},
#endif
        {Str::version, "Version", "버전"},
    };
    for (const auto& [key, english, korean] : rows) {
        EXPECT_EQ(en(key), QString::fromUtf8(english)) << caseName(key);
        EXPECT_EQ(ko(key), QString::fromUtf8(korean)) << caseName(key);
    }
}

}  // namespace
}  // namespace avrane
