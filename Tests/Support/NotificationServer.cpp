#include "Support/NotificationServer.h"

namespace avrane::testing {

NotificationServer::NotificationServer(const SessionBus& bus) {
    if (!bus.started()) {
        process_.fail(QStringLiteral("fake-notification-server: no session bus to serve on"));
        return;
    }
    if (process_.start(QStringLiteral(AVRANE_FAKE_NOTIFICATION_SERVER), {}, childEnvironment({&bus})))
        process_.waitForLine(QStringLiteral("serving"));
}

std::optional<QString> NotificationServer::nextCall(std::chrono::milliseconds deadline) {
    return process_.waitForLine(QString(), deadline);
}

QStringList NotificationServer::calls() {
    QStringList lines = process_.output().split(u'\n', Qt::SkipEmptyParts);
    lines.removeAll(QStringLiteral("serving"));
    return lines;
}

}  // namespace avrane::testing
