#include "AvraneBar/App/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "AvraneBar/Identity/ApplicationId.h"

namespace avrane {

SingleInstance::~SingleInstance() {
    if (!registered_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(applicationObjectPath);
    bus.unregisterService(applicationId);
}

SingleInstance::Outcome SingleInstance::claim(QObject* served, bool showsRunningPanel, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Outcome::first;
    // The object first, so that whoever sees the name can already call it.
    bus.registerObject(applicationObjectPath, served, QDBusConnection::ExportAdaptors);
    const auto reply = bus.interface()->registerService(applicationId, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        registered_ = true;
        return Outcome::first;
    }
    bus.unregisterObject(applicationObjectPath);
    if (!showsRunningPanel) return Outcome::running;
    const QDBusMessage question =
        QDBusMessage::createMethodCall(applicationId, applicationObjectPath, applicationId, QStringLiteral("ShowPanel"));
    const QDBusMessage answer = bus.call(question, QDBus::Block, timeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage ? Outcome::shownRunning : Outcome::runningSilent;
}

}  // namespace avrane
