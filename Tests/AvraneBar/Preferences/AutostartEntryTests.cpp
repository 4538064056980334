#include <gmock/gmock.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "AvraneBar/Preferences/AutostartEntry.h"

namespace avrane {
namespace {

// The Exec value as a desktop reads it: the format's escapes undone, then the one quoted
// argument taken apart.
QString programOf(const QString& exec) {
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] != u'\\' || i + 1 == exec.size()) {
            value += exec[i];
            continue;
        }
        const QChar next = exec[++i];
        value += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next == u'r' ? QChar(u'\r') : next == u's' ? QChar(u' ') : next;
    }
    if (!value.startsWith(u'"')) return value.replace(QStringLiteral("%%"), QStringLiteral("%"));
    QString argument;
    for (qsizetype i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == u'\\') ++i;
        argument += value[i];
    }
    return argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// Whatever the program's path holds, the entry holds it as one argument and nothing else: a
// newline in it must not start a line of its own (Hidden=true would turn the entry off). A
// path the format cannot hold is refused.
TEST(AutostartEntry, theExecLineHoldsAnyPathAndNothingMore) {
    QTemporaryDir home;
    for (const QString& program : {QStringLiteral("/opt/avrane bar/avrane-bar"), QStringLiteral("/tmp/x\nHidden=true\n/avrane-bar"),
                                   QStringLiteral("/tmp/tab\there\rcr/avrane-bar"), QStringLiteral("/tmp/100%/a$b\\c\"d`e/avrane-bar")}) {
        SCOPED_TRACE(program.toStdString());
        const AutostartEntry entry(home.filePath("autostart/entry.desktop"), program);
        EXPECT_TRUE(entry.setEnabled(true));
        QFile file(entry.path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 7);
        const QStringList exec = lines.filter(QRegularExpression(QStringLiteral("^Exec=")));
        ASSERT_EQ(exec.size(), 1);
        EXPECT_EQ(programOf(exec[0].mid(5).chopped(12)), program) << "then --autostart";
    }

    EXPECT_EQ(AutostartEntry::command(QStringLiteral("/tmp/bell\a/avrane-bar")), std::nullopt);
    const AutostartEntry refused(home.filePath("autostart/refused.desktop"), QStringLiteral("/tmp/bell\a/avrane-bar"));
    EXPECT_FALSE(refused.setEnabled(true));
    EXPECT_FALSE(QFile::exists(refused.path()));
}

}  // namespace
}  // namespace avrane
