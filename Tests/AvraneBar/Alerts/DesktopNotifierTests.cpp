// The notification client against a notification server of its own on a private session bus.
#include <gmock/gmock.h>

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
    EXPECT_THAT(calls[1].toStdString(), HasSubstr("replaces=1 icon=\"io.github.avranebar.AvraneBar\" summary=\"two\" body=\"2\" actions=0 "
                                                  "hints=category:device,desktop-entry:io.github.avranebar.AvraneBar,urgency:2 timeout=-1 -> 1"));
    EXPECT_THAT(calls[2].toStdString(), HasSubstr("replaces=1 icon=\"io.github.avranebar.AvraneBar\" summary=\"three\""));
    EXPECT_EQ(calls[3], "CloseNotification 1");
    EXPECT_EQ(notifier.shownId(), 0u);
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
