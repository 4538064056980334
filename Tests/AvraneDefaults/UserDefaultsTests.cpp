#include <gmock/gmock.h>

#include <QDir>
#include <QFile>

#include "AvraneDefaults/UserDefaults.h"
#include "QtSupport/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using testing::freshFilePath;
using testing::writeFile;
using TimePoint = UserDefaults::TimePoint;

// Within one process QSettings answers from its cache, so reading a copy of the file under a
// new name is what shows the values the next launch will see.
UserDefaults reopened(const UserDefaults& store) {
    const QString copy = freshFilePath();
    if (!QFile::copy(store.filePath(), copy)) qFatal("cannot copy the settings file");
    return UserDefaults(copy);
}

UserDefaults storeWith(const QByteArray& iniText) {
    const QString path = freshFilePath();
    writeFile(path, iniText);
    return UserDefaults(path);
}

TEST(UserDefaults, valuesSurviveAReopenWithTheirTypes) {
    const UserDefaults store(freshFilePath());
    const TimePoint when = TimePoint(1'700'000'000'123ms);
    ASSERT_TRUE(store.setBoolean("menubar.showsBatteryText", false));
    ASSERT_TRUE(store.setBoolean("app.showsDockIcon", true));
    ASSERT_TRUE(store.setNumber("panel.contentWidth", 412.5));
    ASSERT_TRUE(store.setText("language", "korean"));
    ASSERT_TRUE(store.setText("comma", "a, b"));
    ASSERT_TRUE(store.setText("empty", ""));
    ASSERT_TRUE(store.setText("hangul", "한국어"));
    ASSERT_TRUE(store.setDate("update.lastCheck", when));

    for (const UserDefaults& view : {store, reopened(store)}) {
        SCOPED_TRACE(view.filePath().toStdString());
        EXPECT_EQ(view.boolean("menubar.showsBatteryText"), false);
        EXPECT_EQ(view.boolean("app.showsDockIcon"), true);
        EXPECT_EQ(view.number("panel.contentWidth"), 412.5);
        EXPECT_EQ(view.text("language"), QString("korean"));
        EXPECT_EQ(view.text("comma"), QString("a, b"));
        EXPECT_EQ(view.text("empty"), QString(""));
        EXPECT_EQ(view.text("hangul"), QString("한국어"));
        EXPECT_EQ(view.date("update.lastCheck"), when);
        // A date is not text and a flag is not a date.
        EXPECT_EQ(view.text("update.lastCheck"), std::nullopt);
        EXPECT_EQ(view.date("app.showsDockIcon"), std::nullopt);
    }
}

TEST(UserDefaults, overwriteAndRemoveReachTheFile) {
    const UserDefaults store(freshFilePath());
    store.setText("language", "korean");
    store.setText("language", "english");
    store.setBoolean("menubar.showsVolumeText", true);
    ASSERT_TRUE(store.remove("menubar.showsVolumeText"));

    const UserDefaults next = reopened(store);
    EXPECT_EQ(next.text("language"), QString("english"));
    EXPECT_FALSE(next.contains("menubar.showsVolumeText"));
    EXPECT_EQ(next.boolean("menubar.showsVolumeText"), std::nullopt);
}

TEST(UserDefaults, nonFiniteNumbersAreNotStored) {
    const UserDefaults store(freshFilePath());
    EXPECT_FALSE(store.setNumber("panel.contentWidth", std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(store.setNumber("panel.contentWidth", std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(store.contains("panel.contentWidth"));
}

// Values as a person, an older version or another program may have left them in the file.
TEST(UserDefaults, wrongTypedValuesReadAsAbsentButArePresent) {
    const UserDefaults store = storeWith(
        "[General]\n"
        "yes=yes\n"
        "one=1\n"
        "upper=TRUE\n"
        "word=wide\n"
        "partial=0.5px\n"
        "nan=nan\n"
        "isoDate=2024-01-01T00:00:00Z\n"
        "list=a, b\n"
        "badDate=@DateTime(\\0\\0\\0\\x10\\0\\x80)\n");

    struct Row {
        const char* key;
        bool boolean, number, text, date;
    };
    // Which typed reads find a value; all others must read as absent.
    const Row rows[] = {
        {"yes", false, false, true, false},
        {"one", false, true, true, false},
        {"upper", false, false, true, false},
        {"word", false, false, true, false},
        {"partial", false, false, true, false},
        {"nan", false, false, true, false},
        {"isoDate", false, false, true, false},
        {"list", false, false, false, false},
        {"badDate", false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_TRUE(store.contains(row.key));
        EXPECT_EQ(store.boolean(row.key).has_value(), row.boolean);
        EXPECT_EQ(store.number(row.key).has_value(), row.number);
        EXPECT_EQ(store.text(row.key).has_value(), row.text);
        EXPECT_EQ(store.date(row.key).has_value(), row.date);
    }
    EXPECT_EQ(store.number("one"), 1.0);
    EXPECT_FALSE(store.contains("missing"));
}

TEST(UserDefaults, damagedFileReadsAsAbsentAndIsReplacedByTheNextWrite) {
    const UserDefaults store = storeWith(QByteArray("\x00\xff[[[garbage\n@Variant(\\0\n=\n", 24));
    EXPECT_EQ(store.boolean("menubar.showsBatteryText"), std::nullopt);
    EXPECT_EQ(store.date("update.lastCheck"), std::nullopt);

    EXPECT_TRUE(store.setBoolean("menubar.showsBatteryText", false));
    EXPECT_EQ(reopened(store).boolean("menubar.showsBatteryText"), false);
}

TEST(UserDefaults, unreadableLocationReadsAsAbsentAndRefusesWrites) {
    // A folder where the file should be: neither readable nor writable as a file.
    const QString path = freshFilePath();
    ASSERT_TRUE(QDir().mkpath(path));
    const UserDefaults store(path);
    EXPECT_FALSE(store.contains("language"));
    EXPECT_EQ(store.text("language"), std::nullopt);
    EXPECT_FALSE(store.setText("language", "korean"));
}

TEST(UserDefaults, standardStoreLivesUnderTheConfigHome) {
    const QString expected =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/avrane/AvraneBar.conf");
    EXPECT_EQ(UserDefaults::standard().filePath(), expected);

    ASSERT_TRUE(UserDefaults::standard().setText("probe", "written"));
    EXPECT_EQ(UserDefaults(expected).text("probe"), QString("written"));
    EXPECT_TRUE(testing::readFile(expected).contains("probe=written"));
}

}  // namespace
}  // namespace avrane
