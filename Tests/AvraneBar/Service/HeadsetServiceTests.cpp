#include <gmock/gmock.h>

#include <future>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDomDocument>
#include <QFile>

#include "AvraneBar/Service/HeadsetService.h"
#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneKit/Client/SettingTable.h"
#include "Support/DesktopSession.h"
#include "Support/QtTestSupport.h"
#include "Support/SimulatedController.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;
using Availability = HeadsetSnapshot::Availability;

const QString path = QStringLiteral("/io/github/avranebar/AvraneBar");

TEST(ServiceValues, propertiesSayWhatIsKnownAndOnlyChangesGoOut) {
    service::registerTypes();
    HeadsetSnapshot s;
    s.availability = Availability::connected();
    s.batteryPercent = 80;
    s.volume = HeadphoneVolume{false, 15, 50};
    s.balance = GameChatBalance(45);
    const QVariantMap p = service::properties(s);
    const auto text = [&](const char* name) { return p.value(name).value<MaybeText>(); };
    EXPECT_EQ(p.value("BatteryCharging").value<MaybeFlag>(), MaybeFlag{}) << "not reported";
    // Settings in the words avranectl prints, under the names it uses.
    EXPECT_EQ(text("Volume").value, "15");
    EXPECT_EQ(text("Balance").value, "-0.5");
    EXPECT_FALSE(text("Led").known);

    HeadsetSnapshot next = s;
    next.batteryPercent = 79;
    next.volume->reportedPercent = 51;  // not shown by the word: no change
    EXPECT_EQ(service::changed(p, service::properties(next)).keys(), QStringList{"BatteryPercent"});
    EXPECT_EQ(service::changed({}, p).size(), p.size());
}

// What PropertiesChanged carried, one entry per signal.
class ChangeLog : public QObject {
    Q_OBJECT

public slots:
    void received(const QString&, const QVariantMap& changed, const QStringList&) { seen.push_back(changed.keys()); }

public:
    std::vector<QStringList> seen;
};

// The service on a private session bus, on the real controller and the simulated headset; the
// test calls it from a second connection as another program would.
class HeadsetServiceOnABus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.started());
        sim.start();
        HeadsetController::Options options = testing::simulatedControllerOptions(sim);
        options.replyTimeout = std::chrono::milliseconds(200);  // a silent headset costs little time
        options.retryCount = 1;
        controller = std::make_unique<HeadsetController>(std::move(options));
        service = std::make_unique<HeadsetService>(*controller);
        controller->setOnChange([this](const HeadsetSnapshot& s) { service->publish(s); });
        server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("service-side"));
        ASSERT_TRUE(server.registerObject(path, service.get(), QDBusConnection::ExportAdaptors));
        ASSERT_TRUE(server.registerService(service::interfaceName));
        service->servedOn(server);
        client = bus.connection();
        client.connect(service::interfaceName, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                       QStringLiteral("PropertiesChanged"), &changes, SLOT(received(QString, QVariantMap, QStringList)));
        controller->start();
        // The service's own copy: asking over the bus inside the wait could take in the
        // snapshot while the answer still says otherwise, and then wait for nothing.
        ASSERT_TRUE(waitUntil([this] { return service->properties().value("Availability").toString() == "connected"; }));
        sim.clearRequests();
    }
    void TearDown() override {
        controller->setOnChange({});
        QDBusConnection::disconnectFromBus(QStringLiteral("service-side"));
    }

    // A call as another program makes it; the service answers on this thread's event loop.
    // The watcher brings the answer to the loop as an event (the reply itself arrives on
    // QtDBus's own thread and would not wake it).
    QDBusMessage ask(const QDBusMessage& message) {
        QDBusPendingCall pending = client.asyncCall(message, 10000);
        QDBusPendingCallWatcher watcher(pending);
        EXPECT_TRUE(waitUntil([&] { return watcher.isFinished(); }));
        return pending.reply();
    }
    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service::interfaceName, path, service::interfaceName, method);
        message.setArguments(arguments);
        return ask(message);
    }
    QVariant property(const QString& name) {
        QDBusMessage message = QDBusMessage::createMethodCall(service::interfaceName, path,
                                                              QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        message << service::interfaceName << name;
        const QDBusMessage reply = ask(message);
        if (reply.type() != QDBusMessage::ReplyMessage) return {};
        return qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant();
    }
    QString setting(const QString& name) {
        const QDBusArgument argument = property(name).value<QDBusArgument>();
        MaybeText value;
        argument >> value;
        return value.known ? value.value : QStringLiteral("(not reported)");
    }
    std::size_t setsOf(EventID item) {
        std::size_t count = 0;
        for (const auto& r : sim.requests()) count += r.packet.eventType == EventType::set && r.packet.eventID == item;
        return count;
    }

    ChangeLog changes;

    testing::SessionBus bus;
    sim::Simulator sim;
    std::unique_ptr<HeadsetController> controller;
    std::unique_ptr<HeadsetService> service;
    QDBusConnection server{QString()};
    QDBusConnection client{QString()};
};

TEST_F(HeadsetServiceOnABus, setIsOneWriteAndReturnsWithThePropertyUpToDate) {
    changes.seen.clear();
    const QDBusMessage reply = call("Set", {"volume", "20"});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(setsOf(EventID::headphoneVolume), 1u);
    EXPECT_EQ(setting("Volume"), "20") << "the answer comes after the snapshot of the write";
    ASSERT_TRUE(waitUntil([&] { return !changes.seen.empty(); }));
    EXPECT_EQ(changes.seen.back(), QStringList{"Volume"});
}

TEST_F(HeadsetServiceOnABus, badRequestsAreRefusedAndSendNothing) {
    const struct {
        const char* method;
        QVariantList arguments;
        const char* error;
    } rows[] = {
        {"Set", {"loudness", "3"}, "UnknownSetting"},
        {"Set", {"volume", "31"}, "InvalidValue"},
        {"Set", {"balance", "0.3"}, "InvalidValue"},
        {"Set", {"mic", "muted"}, "ReadOnly"},
        {"RawGet", {QVariant::fromValue(uchar(0xEE))}, "InvalidValue"},
        {"RawSet", {QVariant::fromValue(uchar(0x82)), QByteArray(300, 0)}, "InvalidValue"},
        // Only the settings, each with its record's length and a value of it.
        {"RawSet", {QVariant::fromValue(uchar(EventID::updateFirmware)), QByteArray(1, 1)}, "InvalidValue"},
        {"RawSet", {QVariant::fromValue(uchar(EventID::headphoneVolume)), QByteArray()}, "InvalidValue"},
        {"RawSet", {QVariant::fromValue(uchar(EventID::autoPowerOffSetting)), QByteArray(1, 10)}, "InvalidValue"},
        {"SetBefore", {"led", "off", QVariant::fromValue(qulonglong(1))}, "DeadlinePassed"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.method + (" " + row.arguments.value(0).toString().toStdString()));
        const QDBusMessage reply = call(row.method, row.arguments);
        EXPECT_EQ(reply.errorName(), HeadsetServiceAdaptor::errorName(row.error));
        EXPECT_FALSE(reply.errorMessage().isEmpty());
    }
    EXPECT_EQ(call("Set", {42}).type(), QDBusMessage::ErrorMessage) << "a wrong argument type";
    // The controller's own reads may go on meanwhile; nothing was written.
    for (const auto& request : sim.requests()) EXPECT_NE(request.packet.eventType, EventType::set);
}

TEST_F(HeadsetServiceOnABus, rawRequestsAndFailuresComeBackFromTheHeadset) {
    const QDBusMessage got = call("RawGet", {QVariant::fromValue(uchar(EventID::headphoneVolume))});
    ASSERT_EQ(got.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(got.arguments().value(0).toByteArray(), QByteArray::fromHex("000F32"));
    ASSERT_EQ(call("RawSet", {QVariant::fromValue(uchar(EventID::ledSetting)), QByteArray::fromHex("00")}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_FALSE(sim.model().led.isOn);

    // A headset that does not answer: the write fails with the link's own words. A raw one
    // went out once.
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::ledSetting}; });
    const QDBusMessage failed = call("Set", {"led", "on"});
    EXPECT_EQ(failed.errorName(), HeadsetServiceAdaptor::errorName("NoReply"));
    EXPECT_THAT(failed.errorMessage().toStdString(), ::testing::HasSubstr("no reply"));
    sim.clearRequests();
    EXPECT_EQ(call("RawSet", {QVariant::fromValue(uchar(EventID::ledSetting)), QByteArray::fromHex("01")}).errorName(),
              HeadsetServiceAdaptor::errorName("NoReply"));
    EXPECT_EQ(setsOf(EventID::ledSetting), 1u);
}

// One program may have 8 requests waiting, and refreshes it asks for while one waits are that
// one: a flood costs the others a moment, not minutes.
TEST_F(HeadsetServiceOnABus, aCallerGetsItsShareAndNoMore) {
    std::promise<void> release;
    controller->apply({EventID::ledSetting}, [held = release.get_future().share()](HeadsetClient&) { held.wait(); });
    const QDBusConnection other = QDBusConnection::connectToBus(bus.address(), QStringLiteral("other-caller"));
    std::vector<QDBusPendingCall> pending;
    std::vector<std::unique_ptr<QDBusPendingCallWatcher>> watchers;  // bring the answers to the loop
    const auto rawGet = [&](QDBusConnection& from) {
        QDBusMessage message = QDBusMessage::createMethodCall(service::interfaceName, path, service::interfaceName, "RawGet");
        message << QVariant::fromValue(uchar(EventID::btStatus));
        pending.push_back(from.asyncCall(message, 20000));
        watchers.push_back(std::make_unique<QDBusPendingCallWatcher>(pending.back()));
    };
    for (int i = 0; i < 9; ++i) rawGet(client);
    for (int i = 0; i < 5000; ++i) {
        client.send(QDBusMessage::createMethodCall(service::interfaceName, path, service::interfaceName, "Refresh"));
    }
    QDBusConnection second = other;
    rawGet(second);
    ASSERT_TRUE(waitUntil([&] { return service->waiting() == 9; }));
    ASSERT_TRUE(waitUntil([&] { return pending[8].isFinished(); }));
    property("Availability");  // answered after every call sent before it
    EXPECT_EQ(pending[8].reply().errorName(), HeadsetServiceAdaptor::errorName("Busy"));
    sim.clearRequests();
    release.set_value();

    ASSERT_TRUE(waitUntil([&] { return std::all_of(pending.begin(), pending.end(), [](auto& p) { return p.isFinished(); }); }));
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (i == 8) continue;
        EXPECT_EQ(pending[i].reply().type(), QDBusMessage::ReplyMessage) << i;
    }
    ASSERT_TRUE(waitUntil([&] { return service->waiting() == 0; }));
    controller->waitUntilIdle();
    std::size_t syncs = 0;
    for (const auto& r : sim.requests()) syncs += r.packet.eventID == EventID::allFunctionSettingsPart1;
    EXPECT_EQ(syncs, 2u) << "the sync after the held write, and one for 5,000 refreshes";
    QDBusConnection::disconnectFromBus(QStringLiteral("other-caller"));
}

TEST_F(HeadsetServiceOnABus, theInterfaceFileDescribesWhatIsServed) {
    // Names, types, directions and access, without Qt's own annotations.
    const auto members = [](const QString& xml) {
        QDomDocument document;
        document.setContent(xml);
        QStringList found;
        const QDomNodeList interfaces = document.elementsByTagName("interface");
        for (int i = 0; i < interfaces.size(); ++i) {
            const QDomElement interface = interfaces.at(i).toElement();
            if (interface.attribute("name") != service::interfaceName) continue;
            for (QDomElement member = interface.firstChildElement(); !member.isNull(); member = member.nextSiblingElement()) {
                QString line = member.tagName() + ' ' + member.attribute("name") + ' ' + member.attribute("type") + ' ' + member.attribute("access");
                for (QDomElement arg = member.firstChildElement("arg"); !arg.isNull(); arg = arg.nextSiblingElement("arg")) {
                    line += " (" + arg.attribute("name") + ' ' + arg.attribute("type") + ' ' + arg.attribute("direction", "in") + ')';
                }
                found << line;
            }
        }
        found.sort();
        return found;
    };
    QFile file(AVRANE_SERVICE_XML);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QDBusMessage question = QDBusMessage::createMethodCall(service::interfaceName, path, "org.freedesktop.DBus.Introspectable", "Introspect");
    const QStringList served = members(ask(question).arguments().value(0).toString());
    EXPECT_EQ(served.size(), 36);
    EXPECT_EQ(members(QString::fromUtf8(file.readAll())), served);
}

}  // namespace
}  // namespace avrane

#include "HeadsetServiceTests.moc"
