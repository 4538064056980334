#include <gmock/gmock.h>

#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "QtSupport/QtTestSupport.h"

namespace avrane {
namespace {

using testing::freshFilePath;
using testing::readFile;

struct Announcements {
    QObject context;
    int count = 0;
    Announcements() {
        NotificationCenter::defaultCenter().observe(MenuBarPreferences::didChange, &context, [this] { ++count; });
    }
};

TEST(MenuBarPreferences, firstLaunchReadsTheDefaults) {
    // The standard store, as the application reads it: nothing stored yet.
    EXPECT_TRUE(MenuBarPreferences::flag(MenuBarPreferences::showsBatteryText, true));
    EXPECT_FALSE(MenuBarPreferences::flag(MenuBarPreferences::showsVolumeText, false));
    EXPECT_FALSE(MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, false));
}

TEST(MenuBarPreferences, settingAFlagWritesAndAnnouncesOnlyRealChanges) {
    const UserDefaults defaults(freshFilePath());
    Announcements announcements;
    const QString key = MenuBarPreferences::showsVolumeText;

    MenuBarPreferences::setFlag(key, true, defaults);
    EXPECT_EQ(announcements.count, 1);
    EXPECT_TRUE(MenuBarPreferences::flag(key, false, defaults));

    const QByteArray before = readFile(defaults.filePath());
    MenuBarPreferences::setFlag(key, true, defaults);
    EXPECT_EQ(announcements.count, 1);
    EXPECT_EQ(readFile(defaults.filePath()), before);

    MenuBarPreferences::setFlag(key, false, defaults);
    EXPECT_EQ(announcements.count, 2);
    EXPECT_FALSE(MenuBarPreferences::flag(key, true, defaults));
}

TEST(MenuBarPreferences, flagsKeptAsTextAfterARestartCountAsFlags) {
    const QString path = freshFilePath();
    testing::writeFile(path, "[General]\napp.showsDockIcon=true\nmenubar.showsBatteryText=yes\n");
    const UserDefaults defaults(path);
    Announcements announcements;

    EXPECT_TRUE(MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, false, defaults));
    MenuBarPreferences::setFlag(MenuBarPreferences::showsDockIcon, true, defaults);
    EXPECT_EQ(announcements.count, 0);

    // Not a flag: the default applies, and setting even the default value replaces it.
    EXPECT_FALSE(MenuBarPreferences::flag(MenuBarPreferences::showsBatteryText, false, defaults));
    EXPECT_TRUE(MenuBarPreferences::flag(MenuBarPreferences::showsBatteryText, true, defaults));
    MenuBarPreferences::setFlag(MenuBarPreferences::showsBatteryText, true, defaults);
    EXPECT_EQ(announcements.count, 1);
    EXPECT_EQ(defaults.boolean(MenuBarPreferences::showsBatteryText), true);
}

}  // namespace
}  // namespace avrane
