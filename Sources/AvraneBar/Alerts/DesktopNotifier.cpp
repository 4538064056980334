#include "AvraneBar/Alerts/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "AvraneBar/Identity/ApplicationId.h"
#include "AvraneBar/Localization/Localization.h"

namespace avrane {

namespace {

const QString interface = QLatin1String(DesktopNotifier::service);

QDBusMessage call(const QString& method) {
    return QDBusMessage::createMethodCall(interface, QLatin1String(DesktopNotifier::path), interface, method);
}

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
    // The user may dismiss it; its id then means nothing any more. Only the server says so:
    // naming its service has Qt take the signal from whoever owns that name alone, not from
    // any program on the bus.
    if (bus_.isConnected()) {
        bus_.connect(interface, QLatin1String(path), interface, QStringLiteral("NotificationClosed"), this,
                     SLOT(closedByServer(uint, uint)));
    }
}

void DesktopNotifier::show(const QString& title, const QString& body, Urgency urgency) {
    withdrawWhenKnown_ = false;
    if (awaitingId_) {
        next_ = Request{title, body, urgency};
        return;
    }
    send({title, body, urgency});
}

void DesktopNotifier::withdraw() {
    next_.reset();
    if (awaitingId_) {
        withdrawWhenKnown_ = true;
        return;
    }
    if (id_ == 0) return;
    QDBusMessage close = call(QStringLiteral("CloseNotification"));
    close << id_;
    bus_.call(close, QDBus::NoBlock);
    id_ = 0;
}

void DesktopNotifier::send(const Request& request) {
    if (!bus_.isConnected()) return;
    QDBusMessage notify = call(QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), applicationId},
                            {QStringLiteral("category"), QStringLiteral("device")},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(request.urgency))}};
    notify << Localization::shared().text(Str::applicationName) << id_ << applicationId << request.title << request.body
           << QStringList() << hints << qint32(-1);
    awaitingId_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotifier::answered);
}

void DesktopNotifier::answered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    awaitingId_ = false;
    id_ = reply.isValid() ? reply.value() : 0;  // no server: nothing shows
    if (withdrawWhenKnown_) {
        withdrawWhenKnown_ = false;
        withdraw();
    } else if (next_) {
        const Request request = *next_;
        next_.reset();
        send(request);
    }
}

void DesktopNotifier::closedByServer(uint id, uint) {
    if (id == id_ && !awaitingId_) id_ = 0;
}

}  // namespace avrane
