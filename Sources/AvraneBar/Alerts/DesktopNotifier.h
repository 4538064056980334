#pragma once

#include <optional>

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace avrane {

// The desktop's notification server (org.freedesktop.Notifications on the session bus) as the
// low-battery alerts use it: one notification at a time, a newer one replacing the older
// (replaces_id), taken away on request. Calls never wait for the server: without one (or
// without a session bus) nothing shows and nothing breaks. A request made while the server
// has not yet said which id it gave goes out once it has, so it still replaces or closes it.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr const char* service = "org.freedesktop.Notifications";
    static constexpr const char* path = "/org/freedesktop/Notifications";

    enum class Urgency : uchar { low = 0, normal = 1, critical = 2 };

    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    void show(const QString& title, const QString& body, Urgency urgency);
    void withdraw();
    // The server's id of the notification shown; 0 for none.
    uint shownId() const { return id_; }
    // A call is out and its answer not in yet.
    bool awaitsServer() const { return awaitingId_; }

private slots:
    void closedByServer(uint id, uint reason);

private:
    struct Request {
        QString title, body;
        Urgency urgency;
    };
    void send(const Request& request);
    void answered(QDBusPendingCallWatcher* call);

    QDBusConnection bus_;
    uint id_ = 0;
    bool awaitingId_ = false;
    std::optional<Request> next_;  // waits for the id of the one asked for
    bool withdrawWhenKnown_ = false;
};

}  // namespace avrane
