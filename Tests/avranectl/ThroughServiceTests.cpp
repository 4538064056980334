#include <gmock/gmock.h>

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QTemporaryDir>

#include "AvraneSim/Simulator.h"
#include "Support/DesktopSession.h"
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
        environment = childEnvironment({&bus});
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.path());
        environment.insert("AVRANE_PORT", QString::fromStdString(sim.slavePath()));
        environment.insert("AVRANE_BAR_LOG", "1");
        app.start(AVRANE_BAR_PROGRAM, {}, environment);
        ASSERT_TRUE(app.started());
        // Up once it shows the headset (its name on the bus came before).
        ASSERT_TRUE(app.waitFor([this] { return app.errorOutput().contains("Z  connected"); }, "the headset"));
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
    EXPECT_EQ(tool({"--json", "get", "anc"}).first, "{\n  \"setting\": \"anc\",\n  \"value\": \"nc\"\n}\n");
    // Refused before anything is sent.
    EXPECT_EQ(tool({"set", "volume", "31"}).second, 2);
    EXPECT_EQ(tool({"set", "mic", "muted"}).second, 2);
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
    EXPECT_THAT(status.toStdString(), ::testing::HasSubstr("mic             live (level 10, 66 %)"));
    EXPECT_EQ(tool({"raw", "get", "ledSetting"}), std::pair(QString("01\n"), 0));

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
    EXPECT_TRUE(bar.waitForLine("\"14%\",\"tooltip\":\"AVRANE H9\\nBattery 14 %\",\"class\":\"low\"", 3s));
    const auto line = watch.waitForLine("battery 14 %", 3s);
    ASSERT_TRUE(line);
    EXPECT_THAT(line->toStdString(), ::testing::MatchesRegex("[0-9:]{8}  battery 14 %"));

    app.stop();
    EXPECT_EQ(watch.waitForExit(), 1);
    EXPECT_THAT(watch.errorOutput().toStdString(), ::testing::HasSubstr("AvraneBar quit"));
    EXPECT_TRUE(bar.waitForLine("AvraneBar quit")) << "the bar says so and waits";
}

// A name held by something that never answers: the tool gives up with a clear message.
class NeverAnswers : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

TEST(ThroughAHungService, theToolGivesUpWithAClearMessage) {
    SessionBus bus;
    ASSERT_TRUE(bus.started());
    QDBusConnection squatter = QDBusConnection::connectToBus(bus.address(), "squatter");
    NeverAnswers silence;
    ASSERT_TRUE(squatter.registerVirtualObject("/io/github/avranebar/AvraneBar", &silence));
    ASSERT_TRUE(squatter.registerService("io.github.avranebar.AvraneBar"));
    ChildProcess run;
    run.start(AVRANECTL_PROGRAM, {"get", "volume"}, childEnvironment({&bus}));
    EXPECT_EQ(run.waitForExit(20s), 1);
    EXPECT_THAT(run.errorOutput().toStdString(), ::testing::HasSubstr("did not answer within 5 s"));
    QDBusConnection::disconnectFromBus("squatter");
}

}  // namespace
}  // namespace avrane
