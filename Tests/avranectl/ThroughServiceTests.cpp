#include <gmock/gmock.h>

#include <signal.h>

#include <map>
#include <regex>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTemporaryDir>

#include "AvraneSim/Simulator.h"
#include "Support/DesktopSession.h"
#include "Subprocess.h"
#include "Support/ApplicationOnABus.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using namespace avrane::testing;

// avranectl beside a running avrane-bar (off screen) on a private session bus, both on the
// simulated dongle: the commands go through the application, which holds the line.
class ThroughService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.started());
        sim.start();
        environment = applicationEnvironment(bus, home, sim.slavePath());
        ASSERT_TRUE(startConnected(app, AVRANE_BAR_PROGRAM, environment));
        sim.clearRequests();
    }

    // Runs avranectl to its end: its output and exit status.
    std::pair<QString, int> tool(const QStringList& arguments) {
        ChildProcess run;
        run.start(AVRANECTL_PROGRAM, arguments, environment);
        const auto status = run.waitForExit(20s);
        return {run.output() + run.errorOutput(), status.value_or(-2)};
    }
    std::size_t setsOf(EventID item) const {
        std::size_t count = 0;
        for (const auto& r : sim.requests()) count += r.packet.eventType == EventType::set && r.packet.eventID == item;
        return count;
    }

    SessionBus bus;
    sim::Simulator sim;
    QTemporaryDir home;
    QProcessEnvironment environment;
    ChildProcess app;
};

TEST_F(ThroughService, getAndSetWithoutTheDongleBeingInUse) {
    EXPECT_EQ(tool({"set", "volume", "20"}), std::pair(QString(), 0));
    EXPECT_EQ(setsOf(EventID::headphoneVolume), 1u);
    EXPECT_EQ(tool({"get", "volume"}), std::pair(QString("20\n"), 0));
    EXPECT_EQ(tool({"get", "anc"}), std::pair(QString("nc\n"), 0));
    EXPECT_EQ(tool({"set", "volume", "31"}).second, 2);  // refused before anything is sent
    // get answers from what the application shows, where the dongle would be asked for the
    // item; and nothing was written but the one volume.
    for (const auto& request : sim.requests()) {
        EXPECT_NE(request.packet.eventID, EventID::ambSetting);
        EXPECT_TRUE(request.packet.eventType == EventType::get || request.packet.eventID == EventID::headphoneVolume);
    }

    // The status is the one the dongle gives directly.
    const auto [status, code] = tool({"status"});
    EXPECT_EQ(code, 0);
    EXPECT_THAT(status.toStdString(), ::testing::HasSubstr("volume          20 (50 %)"));

    // A silent headset: the link's own words, exit 1.
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    const auto [silent, failed] = tool({"set", "led", "off"});
    EXPECT_EQ(failed, 1);
    EXPECT_THAT(silent.toStdString(), ::testing::HasSubstr("no reply to ledSetting"));
}

TEST_F(ThroughService, changesReachWatchAndTheBarAtOnceUntilTheApplicationQuits) {
    ChildProcess watch, bar;
    watch.start(AVRANECTL_PROGRAM, {"watch"}, environment);
    bar.start(AVRANECTL_PROGRAM, {"status", "--waybar", "--follow"}, environment);
    ASSERT_TRUE(bar.waitForLine("\"80%\""));
    // Watching once its first read through the application is done: the three bulk parts.
    ASSERT_TRUE(watch.waitFor([&] { return sim.requestCount() >= 3; }, "the watch's first read"));
    ASSERT_TRUE(sim.waitUntilSent());
    sim.clearRequests();

    sim.change(EventID::batteryInfo, [](sim::HeadsetModel& m) { m.battery.percent = 14; });
    EXPECT_TRUE(bar.waitForLine("\"14%\",\"tooltip\":\"AVRANE H9\\nBattery 14 %\",\"class\":\"low\""));
    const auto line = watch.waitForLine("battery 14 %");
    ASSERT_TRUE(line);
    EXPECT_THAT(line->toStdString(), ::testing::MatchesRegex("[0-9:]{8}  battery 14 %"));

    app.stop();
    EXPECT_EQ(watch.waitForExit(), 1);
    EXPECT_THAT(watch.errorOutput().toStdString(), ::testing::HasSubstr("AvraneBar quit"));
    EXPECT_TRUE(bar.waitForLine("AvraneBar quit")) << "the bar says so and waits";
}

// A program flooding the application with refreshes does not hold a watch up (its reads wait
// behind one read of the headset, not thousands).
TEST_F(ThroughService, watchGoesOnWhileAnotherProgramFloodsTheApplication) {
    sim.updateFaults([](sim::Faults& f) { f.replyDelay = 0.01; });  // the pace of a radio link
    QDBusConnection flooder = bus.connection();
    for (int i = 0; i < 5000; ++i) {
        flooder.send(QDBusMessage::createMethodCall("io.github.avranebar.AvraneBar", "/io/github/avranebar/AvraneBar",
                                                    "io.github.avranebar.AvraneBar", "Refresh"));
    }
    std::map<std::string, std::string> variables;
    for (const QString& name : environment.keys()) variables[name.toStdString()] = environment.value(name).toStdString();
    Subprocess watch(AVRANECTL_PROGRAM, {"watch"}, {.environment = variables, .input = {}, .asUser = {},
                                                    .output = Subprocess::Output::pipe});
    // The battery drains until the watch has shown a change: one that came before its first
    // read is not a change to it.
    const std::regex batteryLine("[0-9:]{8}  battery [0-9]+ %");
    std::vector<std::string> printed;
    bool shown = false;
    for (int percent = 79; percent > 60 && !shown; --percent) {
        sim.change(EventID::batteryInfo, [percent](sim::HeadsetModel& m) { m.battery.percent = std::uint8_t(percent); });
        if (const auto line = watch.readLine(500ms)) {
            printed.push_back(*line);
            shown = std::regex_match(*line, batteryLine);
        }
    }
    EXPECT_TRUE(shown) << ::testing::PrintToString(printed);
}

// A set that its caller gave up on while the application was frozen never happens once it
// runs again.
TEST_F(ThroughService, aSetReportedFailedNeverHappensLater) {
    ASSERT_EQ(::kill(pid_t(app.processId()), SIGSTOP), 0);
    const auto [said, status] = tool({"set", "volume", "22"});
    ::kill(pid_t(app.processId()), SIGCONT);
    EXPECT_EQ(status, 1);
    EXPECT_THAT(said.toStdString(), ::testing::HasSubstr("did not answer within 7 s"));
    // Carried after the set's turn: once it is back, the set has had its chance.
    EXPECT_EQ(tool({"raw", "get", "ledSetting"}), std::pair(QString("01\n"), 0));
    EXPECT_EQ(setsOf(EventID::headphoneVolume), 0u);
    EXPECT_EQ(sim.model().headphoneVolume.level, 15);
}

// A write cut off by the dongle pulled out after it went out is told apart from one that
// failed, with its own exit status: the headset may have taken it, and it is not sent again.
TEST_F(ThroughService, aWriteCutOffByThePulledOutDongleIsToldUnconfirmed) {
    sim.setRequestObserver([this](const sim::ReceivedRequest& request) {
        if (request.packet.eventType == EventType::set) sim.hangUp();  // stored, never answered
    });
    const auto [said, status] = tool({"set", "volume", "22"});
    sim.setRequestObserver(nullptr);
    EXPECT_EQ(status, 3);
    EXPECT_THAT(said.toStdString(), ::testing::HasSubstr("which it may have taken"));
    EXPECT_EQ(setsOf(EventID::headphoneVolume), 1u);
    EXPECT_EQ(sim.model().headphoneVolume.level, 22);
}

// A write that went through is confirmed by its caller's deadline however long the read of
// the headset after it takes: a caller left to give up would take it for one that failed.
TEST_F(ThroughService, aWriteThatWentThroughIsConfirmedWhileTheReadAfterItDrags) {
    sim.setRequestObserver([this](const sim::ReceivedRequest& request) {
        if (request.packet.eventType != EventType::set) return;
        // From here every read takes 0.6 s, and the state is read item by item: 16 reads.
        sim.updateFaults([](sim::Faults& f) {
            f.replyDelay = 0.6;
            f.bulkUnsupported = true;
        });
    });
    const auto [said, status] = tool({"set", "volume", "22"});
    sim.setRequestObserver(nullptr);
    EXPECT_EQ(std::pair(said, status), std::pair(QString(), 0));
    EXPECT_EQ(sim.model().headphoneVolume.level, 22);
}

// Something that holds the application's name without answering, or that answers what the
// application never says.
class NameHolder : public QDBusVirtualObject {
public:
    bool answers = false;
    bool answersRaw = true;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (!answers) return true;
        if (message.member() == "GetAll") {
            QVariantMap properties{{"Availability", "connected"}, {"AvailabilityText", ""}};
            const auto text = [](const QString& value) {
                QDBusArgument pair;
                pair.beginStructure();
                pair << true << value;
                pair.endStructure();
                return QVariant::fromValue(pair);
            };
            properties["Volume"] = text("1e999");
            properties["Led"] = text("on\x1B[2J");
            properties["DevicePath"] = text("/dev/tty\x1B]0;pwned\x07");
            connection.send(message.createReply(QVariant::fromValue(properties)));
        } else if (message.member() == "RawGetBefore" && answersRaw) {
            connection.send(message.createReply(QVariant(QByteArray(300, '\x1B'))));
        }
        return true;
    }
};

// An application whose link fails now and then: it answers each read with the simulated
// headset's value, but the first `failuresLeft` with .Failed, as when its dongle had just gone.
class FlakyApplication : public QDBusVirtualObject {
public:
    sim::HeadsetModel model;
    int failuresLeft = 0;
    int answered = 0;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == "GetAll") {
            connection.send(message.createReply(
                QVariant::fromValue(QVariantMap{{"Availability", "connected"}, {"AvailabilityText", ""}})));
        } else if (message.member() == "RawGetBefore") {
            if (failuresLeft > 0) {
                --failuresLeft;
                connection.send(message.createErrorReply("io.github.avranebar.AvraneBar.Error.Failed",
                                                         "the dongle went away"));
                return true;
            }
            const auto param = model.param(EventID(message.arguments().value(0).value<uchar>()));
            const Bytes bytes = param.value_or(Bytes{});
            connection.send(message.createReply(QVariant(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                                    qsizetype(bytes.size())))));
            ++answered;
        }
        return true;
    }
};

class ThroughAForeignService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.started());
        holder = QDBusConnection::connectToBus(bus.address(), "holder");
        ASSERT_TRUE(holder.registerService("io.github.avranebar.AvraneBar"));
    }
    void TearDown() override { QDBusConnection::disconnectFromBus("holder"); }
    bool serve(QDBusVirtualObject& what) { return holder.registerVirtualObject("/io/github/avranebar/AvraneBar", &what); }

    // The holder answers on this thread's event loop, which runs meanwhile.
    std::pair<QString, int> tool(const QStringList& arguments) {
        ChildProcess run;
        run.start(AVRANECTL_PROGRAM, arguments, childEnvironment({&bus}));
        EXPECT_TRUE(waitUntil([&] { return !run.isRunning(); }));
        const auto status = run.waitForExit(1s);
        return {run.output() + run.errorOutput(), status.value_or(-2)};
    }

    SessionBus bus;
    QDBusConnection holder{QString()};
    NameHolder object;
};

// A watch through the application goes on when it answers a read with .Failed: the read is
// asked again shortly, the first state read and the read of an announced change alike.
TEST_F(ThroughAForeignService, watchFollowAsksAgainWhatAFlakyApplicationCouldNotRead) {
    FlakyApplication application;
    ASSERT_TRUE(serve(application));
    application.failuresLeft = 1;

    ChildProcess watch;
    watch.start(AVRANECTL_PROGRAM, {"watch", "--follow"}, childEnvironment({&bus}));
    // The state read again after its failure: the three bulk parts.
    EXPECT_TRUE(waitUntil([&] { return application.answered >= 3 || !watch.isRunning(); }));
    application.model.headphoneVolume.level = 22;
    application.failuresLeft = 1;
    QVariantMap changed{{"Volume", QVariant::fromValue(QString("22"))}};
    QDBusMessage signal = QDBusMessage::createSignal("/io/github/avranebar/AvraneBar", "org.freedesktop.DBus.Properties",
                                                     "PropertiesChanged");
    signal << QString("io.github.avranebar.AvraneBar") << changed << QStringList();
    holder.send(signal);
    EXPECT_TRUE(waitUntil([&] { return watch.output().contains("volume 22") || !watch.isRunning(); }));
    EXPECT_TRUE(watch.isRunning()) << watch.errorOutput().toStdString();
    EXPECT_THAT(watch.output().toStdString(), ::testing::MatchesRegex("[0-9:]{8}  volume 22 \\(50 %\\)\n"));
    watch.stop();
}

// A holder that never answers: the tool gives up with a clear message, and a bar still gets
// its object at once.
TEST_F(ThroughAForeignService, silenceIsSaidPlainlyAndABarStillGetsItsObject) {
    ASSERT_TRUE(serve(object));
    const auto [said, status] = tool({"get", "volume"});
    EXPECT_EQ(status, 1);
    EXPECT_THAT(said.toStdString(), ::testing::HasSubstr("did not answer within 5 s"));
    const auto [bar, barStatus] = tool({"status", "--waybar"});
    EXPECT_EQ(barStatus, 0);
    EXPECT_EQ(bar.count('\n'), 1) << bar.toStdString();
    EXPECT_THAT(bar.toStdString(), ::testing::HasSubstr("\"class\":\"unreachable\""));
    EXPECT_THAT(bar.toStdString(), ::testing::HasSubstr("did not answer within 2 s"));
}

// Whatever it sends is checked against what AvraneBar sends, and nothing it says reaches the
// terminal as a control character.
TEST_F(ThroughAForeignService, whatItSaysIsCheckedAndNeverReachesTheTerminalRaw) {
    ASSERT_TRUE(serve(object));
    object.answers = true;
    const struct {
        QStringList arguments;
        const char* said;
    } rows[] = {
        {{"--json", "get", "volume"}, "AvraneBar reported volume as \"1e999\", which is not a value of it"},
        {{"get", "led"}, "AvraneBar reported led as \"on\\x1B[2J\", which is not a value of it"},
        {{"raw", "get", "headphoneVolume"}, "a payload of 300 bytes for headphoneVolume, more than a frame carries (247)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const auto [said, status] = tool(row.arguments);
        EXPECT_EQ(status, 1);
        EXPECT_THAT(said.toStdString(), ::testing::HasSubstr(row.said));
        EXPECT_FALSE(said.contains(QChar(0x1B)));
    }

    // An application that stops answering is not a headset that does: the read is not tried
    // item by item, and the words say who is silent.
    object.answersRaw = false;
    const auto [said, status] = tool({"status"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(said, "avranectl: AvraneBar holds io.github.avranebar.AvraneBar on the session bus but did not answer within 7 s\n");
}

}  // namespace
}  // namespace avrane
