#include <gmock/gmock.h>

#include <QDir>
#include <QFile>

#include "AvraneDefaults/SaveFailure.h"
#include "AvraneDefaults/UserDefaults.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using testing::freshFilePath;

// Within one process QSettings answers from its cache; a copy under a new name is read from
// disk, as the next launch would read it.
UserDefaults reopened(const UserDefaults& store) {
    const QString copy = freshFilePath();
    if (!QFile::copy(store.filePath(), copy)) qFatal("cannot copy the settings file");
    return UserDefaults(copy);
}

TEST(UserDefaults, valuesKeepTheirTypesAcrossARestart) {
    const UserDefaults store(freshFilePath());
    const UserDefaults::TimePoint when(1'700'000'000'123ms);
    ASSERT_TRUE(store.setBoolean("flag", false));
    ASSERT_TRUE(store.setNumber("width", 412.5));
    ASSERT_TRUE(store.setText("comma", "a, b"));
    ASSERT_TRUE(store.setText("hangul", "한국어"));
    ASSERT_TRUE(store.setDate("when", when));
    ASSERT_TRUE(store.setText("removed", "x"));
    ASSERT_TRUE(store.remove("removed"));
    EXPECT_FALSE(store.setNumber("width", std::numeric_limits<double>::quiet_NaN()));

    for (const UserDefaults& view : {store, reopened(store)}) {
        EXPECT_EQ(view.boolean("flag"), false);
        EXPECT_EQ(view.number("width"), 412.5);
        EXPECT_EQ(view.text("comma"), QString("a, b"));
        EXPECT_EQ(view.text("hangul"), QString("한국어"));
        EXPECT_EQ(view.date("when"), when);
        EXPECT_EQ(view.text("when"), std::nullopt);
        EXPECT_FALSE(view.contains("removed"));
    }
}

// As a person, an older version or a damaged write may have left them.
TEST(UserDefaults, onlyValuesOfTheRightKindAreRead) {
    const QString path = freshFilePath();
    testing::writeFile(path, "[General]\nupper=TRUE\ntrue=true\none=1\npartial=0.5px\nnan=nan\n"
                             "isoDate=2024-01-01T00:00:00Z\nlist=a, b\ncutDate=@DateTime(\\0\\0\\0\\x10\\0\\x80)\n");
    const UserDefaults store(path);
    // key, then whether boolean(), number(), text() and date() find a value
    const std::tuple<const char*, bool, bool, bool, bool> rows[] = {
        {"upper", false, false, true, false},   {"true", true, false, true, false},
        {"one", false, true, true, false},      {"partial", false, false, true, false},
        {"nan", false, false, true, false},     {"isoDate", false, false, true, false},
        {"list", false, false, false, false},
        {"cutDate", false, false, false, false},  // decodes to 4714 BC
    };
    for (const auto& [key, boolean, number, text, date] : rows) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(store.contains(key));
        EXPECT_EQ(store.boolean(key).has_value(), boolean);
        EXPECT_EQ(store.number(key).has_value(), number);
        EXPECT_EQ(store.text(key).has_value(), text);
        EXPECT_EQ(store.date(key).has_value(), date);
    }
}

// Qt tells only the first reader of a file that it is damaged (here: a section header cut
// short); every read, first or not, gives the lines that can be read, and a save keeps them.
TEST(UserDefaults, damagedFilesReadTheSameOnEveryRead) {
    const QString partly = freshFilePath();
    testing::writeFile(partly, "[General]\nflag=true\nwidth=12\n[cut\nother=1\n");
    for (int read = 0; read < 2; ++read) {
        SCOPED_TRACE(read);
        const UserDefaults store(partly);
        EXPECT_EQ(store.boolean("flag"), true);
        EXPECT_EQ(store.number("width"), 12);
    }
    ASSERT_TRUE(UserDefaults(partly).setText("language", "korean"));
    EXPECT_EQ(reopened(UserDefaults(partly)).boolean("flag"), true);

    const QString damaged = freshFilePath();
    testing::writeFile(damaged, QByteArray("\x00\xff[[[\n@Variant(\\0\n=\n", 18));
    const UserDefaults store(damaged);
    EXPECT_EQ(store.boolean("flag"), std::nullopt);
    EXPECT_TRUE(store.setBoolean("flag", true));
    EXPECT_EQ(reopened(store).boolean("flag"), true);

    const QString folder = freshFilePath();
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(UserDefaults(folder).contains("flag"));
    EXPECT_FALSE(UserDefaults(folder).setBoolean("flag", true));
}

// A folder no user may write, root included (sysfs refuses new entries): the write fails,
// nothing of it stays in the process, and the reason is the folder's.
TEST(UserDefaults, aWriteThatCannotBeSavedLeavesNothingBehind) {
    const UserDefaults store(QStringLiteral("/sys/avrane-settings/AvraneBar.conf"));
    EXPECT_FALSE(store.setBoolean("flag", true));
    EXPECT_FALSE(store.setText("language", "korean"));
    EXPECT_EQ(store.boolean("flag"), std::nullopt);
    EXPECT_EQ(store.text("language"), std::nullopt);
    const SaveFailure failure = SaveFailure::diagnose(store.filePath());
    EXPECT_EQ(failure.reason, SaveFailure::Reason::readOnly) << failure.description();
    EXPECT_EQ(failure.folder, "/sys/avrane-settings");

    // A folder that takes new files, with a folder where the file should be.
    const QString blocked = freshFilePath();
    ASSERT_TRUE(QDir().mkpath(blocked));
    EXPECT_FALSE(UserDefaults(blocked).setBoolean("flag", true));
    EXPECT_EQ(SaveFailure::diagnose(blocked).reason, SaveFailure::Reason::other);
}

}  // namespace
}  // namespace avrane
