#include "Support/TrayWatch.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>

namespace avrane::testing {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

std::optional<QVariant> watcherProperty(const QDBusConnection& bus, const QString& name) {
    return busProperty(bus, watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService, name);
}

// One menu entry and its children from GetLayout's (ia{sv}av).
void readEntry(const QDBusArgument& argument, int depth, std::vector<ItemMenu::Entry>& out) {
    ItemMenu::Entry entry;
    QVariantMap properties;
    argument.beginStructure();
    argument >> entry.id >> properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        if (depth == 0) readEntry(child.variant().value<QDBusArgument>(), depth + 1, out);
    }
    argument.endArray();
    argument.endStructure();
    if (depth == 0) return;  // the root holds the entries
    if (properties.value(QStringLiteral("type")).toString() == QLatin1String("separator")) return;
    entry.label = properties.value(QStringLiteral("label")).toString().remove(QLatin1Char('_'));
    out.push_back(entry);
}

}  // namespace

bool TrayWatch::hostRegistered() const {
    const auto value = watcherProperty(bus_, QStringLiteral("IsStatusNotifierHostRegistered"));
    return value && value->toBool();
}

std::optional<StatusNotifierItemAddress> TrayWatch::itemOf(qint64 pid) const {
    const auto value = watcherProperty(bus_, QStringLiteral("RegisteredStatusNotifierItems"));
    if (!value) return std::nullopt;
    for (const QString& entry : value->toStringList()) {
        // "service/path", GNOME's "service@/path", or "service" alone (at the usual path).
        const qsizetype slash = entry.indexOf(QLatin1Char('/'));
        if (slash == 0) continue;
        QString service = slash < 0 ? entry : entry.left(slash);
        if (service.endsWith(QLatin1Char('@'))) service.chop(1);
        const QString path = slash < 0 ? QStringLiteral("/StatusNotifierItem") : entry.mid(slash);
        const QDBusReply<uint> owner = bus_.interface()->servicePid(service);
        if (owner.isValid() && qint64(owner.value()) == pid) return StatusNotifierItemAddress{service, path};
    }
    return std::nullopt;
}

ItemMenu::ItemMenu(const QDBusConnection& bus, const StatusNotifierItemAddress& item) : bus_(bus), service_(item.service) {
    if (const auto menu = busProperty(bus, item.service, item.path, QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")))
        path_ = menu->value<QDBusObjectPath>().path();
}

std::vector<ItemMenu::Entry> ItemMenu::entries() const {
    std::vector<Entry> entries;
    if (path_.isEmpty()) return entries;
    QDBusMessage call = QDBusMessage::createMethodCall(service_, path_, QStringLiteral("com.canonical.dbusmenu"),
                                                       QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList{QStringLiteral("label"), QStringLiteral("type")};
    const QDBusMessage reply = bus_.call(call, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2) return entries;
    readEntry(reply.arguments().at(1).value<QDBusArgument>(), 0, entries);
    return entries;
}

::testing::AssertionResult ItemMenu::click(const QString& label) const {
    for (const Entry& entry : entries()) {
        if (entry.label != label) continue;
        QDBusMessage call = QDBusMessage::createMethodCall(service_, path_, QStringLiteral("com.canonical.dbusmenu"),
                                                           QStringLiteral("Event"));
        call << entry.id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(QString()))
             << uint(QDateTime::currentSecsSinceEpoch());
        const QDBusMessage reply = bus_.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "Event on the menu entry: " << reply.errorMessage().toStdString();
    }
    return ::testing::AssertionFailure() << "no menu entry \"" << label.toStdString() << "\"";
}

}  // namespace avrane::testing
