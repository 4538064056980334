#include <gmock/gmock.h>

#include <QDir>

#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

TEST(MenuBarPreferences, onlyRealChangesAreWrittenAndAnnounced) {
    // As a restart leaves them: flags as text, a value that is no flag, a colour not by its stored name.
    const QString path = testing::freshFilePath();
    const char* const asLeft = "[General]\napp.showsDockIcon=true\nmenubar.showsBatteryText=yes\nmenubar.trayIconColour=Dark\n";
    testing::writeFile(path, asLeft);
    const UserDefaults defaults(path);
    QObject context;
    int announced = 0;
    NotificationCenter::defaultCenter().observe(MenuBarPreferences::didChange, &context, [&] { ++announced; });

    EXPECT_TRUE(MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, false, defaults));
    MenuBarPreferences::setFlag(MenuBarPreferences::showsDockIcon, true, defaults);
    EXPECT_EQ(announced, 0);
    EXPECT_EQ(testing::readFile(path), asLeft);

    EXPECT_FALSE(MenuBarPreferences::flag(MenuBarPreferences::showsBatteryText, false, defaults));
    EXPECT_EQ(MenuBarPreferences::trayIconColour(defaults), TrayIconColour::automatic);
    MenuBarPreferences::setFlag(MenuBarPreferences::showsBatteryText, false, defaults);
    MenuBarPreferences::setFlag(MenuBarPreferences::showsDockIcon, false, defaults);
    MenuBarPreferences::setTrayIconColour(TrayIconColour::dark, defaults);
    MenuBarPreferences::setTrayIconColour(TrayIconColour::dark, defaults);
    EXPECT_EQ(announced, 3);
    EXPECT_EQ(defaults.boolean(MenuBarPreferences::showsBatteryText), false);
    EXPECT_FALSE(MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, true, defaults));
    EXPECT_EQ(defaults.text(MenuBarPreferences::trayIconColourKey), "dark");
}

TEST(MenuBarPreferences, flagThatCannotBeSavedIsTracedAndNotAnnounced) {
    const QString folder = testing::freshFilePath();  // a folder where the file should be
    ASSERT_TRUE(QDir().mkpath(folder));
    const UserDefaults defaults(folder);
    std::vector<std::string> lines;
    QObject context;
    int announced = 0;
    NotificationCenter::defaultCenter().observe(MenuBarPreferences::didChange, &context, [&] { ++announced; });

    MenuBarPreferences::setFlag(MenuBarPreferences::showsDockIcon, true, defaults,
                                SettingsTrace([&](std::string_view line) { lines.emplace_back(line); }));
    EXPECT_EQ(announced, 0);
    EXPECT_FALSE(MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, false, defaults));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("  SETTING NOT SAVED app.showsDockIcon=true  (" + folder.toStdString() + ")\n"),
              std::string::npos);
}

}  // namespace
}  // namespace avrane
