#include <set>
#include <string>

#include <gmock/gmock.h>

#include "AvraneBar/Localization/Str.h"
#include "QtSupport/QtTestSupport.h"

namespace avrane {
namespace {

TEST(Str, everyKeyHasBothTexts) {
    EXPECT_EQ(allStrs().size(), 87u);
    std::set<std::string_view> names;
    for (const Str key : allStrs()) {
        SCOPED_TRACE(std::string(caseName(key)));
        EXPECT_TRUE(names.insert(caseName(key)).second);
        EXPECT_FALSE(en(key).trimmed().isEmpty());
        EXPECT_FALSE(ko(key).trimmed().isEmpty());
        EXPECT_FALSE(en(key).contains(QChar::ReplacementCharacter));
        EXPECT_FALSE(ko(key).contains(QChar::ReplacementCharacter));
    }
}

struct Texts {
    Str key;
    const char* en;
    const char* ko;
};

// Keys whose English texts repeat under other keys, the ends of the table, and texts with
// characters beyond ASCII: where a shifted or mistyped row would show.
TEST(Str, textsSitUnderTheirKeys) {
    const Texts rows[] = {
        {Str::headset, "Headset", "헤드셋"},
        {Str::lookingForDongle, "Looking for dongle…", "동글을 찾고 있습니다…"},
        {Str::ancOff, "Off", "끄기"},
        {Str::autoPowerOffOff, "Off", "사용 안 함"},
        {Str::off, "Off", "꺼짐"},
        {Str::quit, "Quit", "종료"},
        {Str::balanceCentre, "Centre", "가운데"},
        {Str::balanceEven, "Even", "균등"},
        {Str::ledHint, "The light on the earcup. Off lets the headset turn it dark by itself — Zur calls this AUTO LED OFF.",
         "하우징의 표시등입니다. 끄면 헤드셋이 표시등을 스스로 꺼둡니다. Zur에서는 AUTO LED OFF 항목입니다."},
        {Str::bluetooth, "Bluetooth", "Bluetooth"},
#ifndef __APPLE__
        {Str::thisMac, "This computer", "이 컴퓨터"},
        {Str::showInDock, "Show in taskbar", "작업 표시줄에 표시"},
        {Str::dockHint, "With the taskbar entry on, the app also appears in Alt-Tab.",
         "작업 표시줄 항목을 켜면 Alt-Tab에도 함께 나타납니다."},
#endif
        {Str::version, "Version", "버전"},
    };
    for (const Texts& row : rows) {
        SCOPED_TRACE(std::string(caseName(row.key)));
        EXPECT_EQ(en(row.key), QString::fromUtf8(row.en));
        EXPECT_EQ(ko(row.key), QString::fromUtf8(row.ko));
    }
}

}  // namespace
}  // namespace avrane
