// A StatusNotifierWatcher with a host present, as a desktop panel would offer, for the tray
// tests' private session bus; with --host-after MS the host registers only that long after the
// start (a panel that comes up after its watcher). Prints "watching" once it owns its name,
// then one line per item that registers ("registered <service> <path>") or whose owner leaves
// the bus ("unregistered <service> <path>"), so that a test can wait on its output.

#include <cstdio>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    // Qt looks this one up before it registers an item; without it Qt falls back to XEmbed.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(const QDBusConnection& bus) {
        owners_.setConnection(bus);
        owners_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&owners_, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::ownerLeft);
    }

    QStringList items() const { return items_; }
    bool hostRegistered() const { return hostRegistered_; }
    void setHostLater(int milliseconds) {
        hostRegistered_ = false;
        QTimer::singleShot(milliseconds, this, &Watcher::registerHost);
    }
    void registerHost() {
        hostRegistered_ = true;
        emit StatusNotifierHostRegistered();
    }
    int protocolVersion() const { return 0; }

public slots:
    // The argument is a bus name (the item then lives at /StatusNotifierItem) or an object
    // path on the caller's own connection.
    void RegisterStatusNotifierItem(const QString& serviceOrPath) {
        const bool isPath = serviceOrPath.startsWith(QLatin1Char('/'));
        const QString service = isPath ? message().service() : serviceOrPath;
        const QString path = isPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        const QString item = service + path;
        if (items_.contains(item)) return;
        items_.append(item);
        owners_.addWatchedService(service);
        say(QStringLiteral("registered %1 %2").arg(service, path));
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString&) { registerHost(); }

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    void ownerLeft(const QString& service) {
        for (qsizetype i = items_.size() - 1; i >= 0; --i) {
            const QString item = items_[i];
            if (!item.startsWith(service + QLatin1Char('/'))) continue;
            items_.removeAt(i);
            say(QStringLiteral("unregistered %1 %2").arg(service, item.mid(service.size())));
            emit StatusNotifierItemUnregistered(item);
        }
        owners_.removeWatchedService(service);
    }

    QStringList items_;
    QDBusServiceWatcher owners_;
    bool hostRegistered_ = true;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher(bus);
    const QStringList arguments = QCoreApplication::arguments();
    if (const qsizetype option = arguments.indexOf(QStringLiteral("--host-after")); option > 0) {
        watcher.setHostLater(arguments.value(option + 1).toInt());
    }
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "cannot serve org.kde.StatusNotifierWatcher on the session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    say(QStringLiteral("watching"));
    return app.exec();
}

#include "FakeStatusNotifierWatcher.moc"
