// The notification client against a notification server of its own on a private session bus.
#include <gmock/gmock.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include "AvraneBar/Alerts/DesktopNotifier.h"
#include "Support/NotificationServer.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace avrane::testing;

// A request made before the server answered the last one still replaces or closes that one.
TEST(DesktopNotifier, followsTheIdTheServerGave) {
    SessionBus bus;
    NotificationServer server(bus);
    ASSERT_TRUE(bus.started() && server.started());
    DesktopNotifier notifier(bus.connection());
    notifier.show("one", "1", DesktopNotifier::Urgency::normal);
    notifier.show("two", "2", DesktopNotifier::Urgency::critical);
    ASSERT_TRUE(waitUntil([&] { return server.calls().size() == 2 && !notifier.awaitsServer(); }));
    EXPECT_EQ(notifier.shownId(), 1u);
    notifier.show("three", "3", DesktopNotifier::Urgency::normal);
    notifier.withdraw();
    ASSERT_TRUE(waitUntil([&] { return server.calls().size() == 4; })) << server.calls().join(u'\n').toStdString();
    const QStringList calls = server.calls();
    EXPECT_THAT(calls[0].toStdString(), HasSubstr("replaces=0 icon=\"io.github.avranebar.AvraneBar\" summary=\"one\""));
    EXPECT_THAT(calls[1].toStdString(), HasSubstr("replaces=1 icon=\"io.github.avranebar.AvraneBar\" summary=\"two\""));
    EXPECT_THAT(calls[2].toStdString(), HasSubstr("replaces=1 icon=\"io.github.avranebar.AvraneBar\" summary=\"three\""));
    EXPECT_EQ(calls[3], "CloseNotification 1");
    EXPECT_EQ(notifier.shownId(), 0u);
}

// Answers a call once the signals that came before it have been handed out.
class Barrier : public QObject {
    Q_OBJECT

public slots:
    void Pass() {}
};

// Only the notification server says a notification was closed: another program on the bus
// that sends the same signal is not listened to.
TEST(DesktopNotifier, takesClosedNotificationsFromTheServerOnly) {
    SessionBus bus;
    NotificationServer server(bus);
    ASSERT_TRUE(bus.started() && server.started());
    QDBusConnection ours = bus.connection();
    DesktopNotifier notifier(ours);
    notifier.show("one", "1", DesktopNotifier::Urgency::normal);
    ASSERT_TRUE(waitUntil([&] { return !notifier.awaitsServer(); }));
    ASSERT_EQ(notifier.shownId(), 1u);
    Barrier barrier;
    ASSERT_TRUE(ours.registerObject("/barrier", &barrier, QDBusConnection::ExportAllSlots));

    QDBusConnection other = QDBusConnection::connectToBus(bus.address(), "other");
    QDBusMessage forged = QDBusMessage::createSignal(DesktopNotifier::path, DesktopNotifier::service, "NotificationClosed");
    forged << uint(1) << uint(2);
    other.send(forged);
    // In order behind the signal: once this is answered, the signal has been handled.
    QDBusPendingCall pass = other.asyncCall(QDBusMessage::createMethodCall(ours.baseService(), "/barrier", QString(), "Pass"));
    QDBusPendingCallWatcher passed(pass);
    ASSERT_TRUE(waitUntil([&] { return passed.isFinished(); }));
    EXPECT_EQ(notifier.shownId(), 1u);

    // The server's own signal, when another program closes it.
    QDBusMessage close = QDBusMessage::createMethodCall(DesktopNotifier::service, DesktopNotifier::path,
                                                        DesktopNotifier::service, "CloseNotification");
    close << uint(1);
    other.call(close);
    EXPECT_TRUE(waitUntil([&] { return notifier.shownId() == 0; }));
    QDBusConnection::disconnectFromBus("other");
}

TEST(DesktopNotifier, withoutAServerNothingShowsAndNothingWaits) {
    SessionBus bus;
    ASSERT_TRUE(bus.started());
    DesktopNotifier notifier(bus.connection());
    notifier.show("one", "1", DesktopNotifier::Urgency::normal);
    notifier.show("two", "2", DesktopNotifier::Urgency::normal);
    notifier.withdraw();
    // The bus answers at once that nobody serves the name.
    ASSERT_TRUE(waitUntil([&] { return !notifier.awaitsServer(); }));
    EXPECT_EQ(notifier.shownId(), 0u);
    DesktopNotifier withoutBus(QDBusConnection(QStringLiteral("no such connection")));
    withoutBus.show("one", "1", DesktopNotifier::Urgency::normal);
    withoutBus.withdraw();
    EXPECT_EQ(withoutBus.shownId(), 0u);
}

}  // namespace
}  // namespace avrane

#include "DesktopNotifierTests.moc"
