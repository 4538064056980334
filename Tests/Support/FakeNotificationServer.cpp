// A desktop notification server (org.freedesktop.Notifications) for the tests' private session
// bus. Prints "serving" once it owns its name, then one line per call, with every argument:
//   Notify app="AvraneBar" replaces=0 icon="…" summary="…" body="…" actions=0 hints=category:device,desktop-entry:…,urgency:1 timeout=-1 -> 1
//   CloseNotification 1
// so that a test can wait on its output and compare the calls in order. Ids count from 1; a
// replacement keeps the id it replaces. Closing emits NotificationClosed (reason 3), as a
// real server does.

#include <cstdio>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class Server : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit Server(QDBusConnection bus) : bus_(std::move(bus)) {}

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout) {
        QStringList hintTexts;
        for (auto hint = hints.begin(); hint != hints.end(); ++hint) {
            const QVariant& value = hint.value();
            hintTexts << hint.key() + u':' +
                             (value.typeId() == QMetaType::UChar ? QString::number(value.value<uchar>()) : value.toString());
        }
        const uint id = replaces && shown_.contains(replaces) ? replaces : ++lastId_;
        shown_.insert(id);
        say(QStringLiteral("Notify app=\"%1\" replaces=%2 icon=\"%3\" summary=\"%4\" body=\"%5\" actions=%6 hints=%7 timeout=%8 -> %9")
                .arg(app).arg(replaces).arg(icon, summary, body).arg(actions.size()).arg(hintTexts.join(u','))
                .arg(timeout).arg(id));
        return id;
    }
    void CloseNotification(uint id) {
        say(QStringLiteral("CloseNotification %1").arg(id));
        if (!shown_.remove(id)) return;
        QDBusMessage closed = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("NotificationClosed"));
        closed << id << uint(3);
        bus_.send(closed);
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("avrane tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake-notification-server");
    }

private:
    QDBusConnection bus_;
    uint lastId_ = 0;
    QSet<uint> shown_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Server server(bus);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "cannot serve org.freedesktop.Notifications on the session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    say(QStringLiteral("serving"));
    return app.exec();
}

#include "FakeNotificationServer.moc"
