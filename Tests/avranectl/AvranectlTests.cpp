// The built avranectl against the simulated dongle on a pseudo-terminal.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "AvraneKit/Serial/SerialPort.h"
#include "AvraneSim/Simulator.h"
#include "Subprocess.h"

namespace avrane {
namespace {

using testing::Finished;
using testing::parseJson;
using testing::Subprocess;
using Output = Subprocess::Output;
using Strings = std::vector<std::string>;

// Rows of `status` text: name -> value.
std::map<std::string, std::string> rows(const std::string& text) {
    std::map<std::string, std::string> result;
    const std::regex row("^(\\S+)  +(.*)$");
    std::smatch m;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        if (std::regex_match(line, m, row)) result[m[1]] = m[2];
    }
    return result;
}

class AvranectlTests : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }

    Subprocess::Options options(std::map<std::string, std::string> environment = {}) {
        // Short reply waits: the silent-headset cases wait every one of them out.
        environment.emplace("AVRANECTL_REPLY_TIMEOUT", "0.2");
        return {.environment = std::move(environment), .input = {}, .asUser = {}, .output = Output::pipe};
    }
    Subprocess start(Strings args) {
        args.insert(args.begin(), {"--port", sim.slavePath()});
        return Subprocess(AVRANECTL_PATH, args, options());
    }
    Finished run(Strings args) { return start(std::move(args)).wait(); }

    sim::Simulator sim;
};

TEST_F(AvranectlTests, StatusShowsTheWholeHeadset) {
    sim::HeadsetModel m;
    m.battery = {.statusCode = 1, .percent = 42};
    m.headphoneVolume = {.isMuted = true, .level = 12, .reportedPercent = 40};
    m.gameChatBalance = GameChatBalance(45);
    m.microphoneVolume.isMuted = true;
    m.ambient = {.mode = NoiseCancellingMode::ambientSound, .ambientLevel = 7, .voiceFocus = true,
                 .reportedPercent = 35};
    m.autoPowerOff = AutoPowerOff::after180Minutes;
    m.ncToggle.includesOff = false;
    sim.setModel(m);

    // The device named by AVRANE_PORT, as the application would take it.
    const Finished text =
        Subprocess(AVRANECTL_PATH, {"status"}, options({{"AVRANE_PORT", sim.slavePath()}})).wait();
    ASSERT_EQ(text.status, 0) << text.err;
    const std::map<std::string, std::string> expected{
        {"dongle", "virtual port at " + sim.slavePath()},
        {"battery", "42 %, charging"},
        {"volume", "12 (40 %, muted)"},
        {"balance", "-0.5 (towards game)"},
        {"nc-toggle", "nc, ambient"},
    };
    // Every item has its row; those of their own form are read here.
    const auto shown = rows(text.out);
    EXPECT_EQ(shown.size(), 18u) << text.out;
    for (const auto& [name, value] : expected) EXPECT_EQ(shown.count(name) ? shown.at(name) : "", value) << name;

    // --port wins over AVRANE_PORT.
    const Finished json = Subprocess(AVRANECTL_PATH, {"--json", "--port", sim.slavePath(), "status"},
                                     options({{"AVRANE_PORT", "/dev/avrane-nothing"}}))
                              .wait();
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = parseJson(json.out);
    const std::map<std::string, std::string> values{
        {"battery.isCharging", "true"},       {"gameChatBalance.uiValue", "-0.5"},
        {"ambient.mode", "\"ambientSound\""}, {"dongle.serialNumber", "null"},
    };
    for (const auto& [path, value] : values) EXPECT_EQ(doc.count(path) ? doc.at(path) : "", value) << path;
}

TEST_F(AvranectlTests, ValuesTheHeadsetDoesNotGiveAreNotReported) {
    sim.updateFaults([](sim::Faults& f) {
        f.bulkUnsupported = true;
        f.malformedReplies = {{EventID::ledSetting, {}}, {EventID::fwVersion, {1, 2}}};
    });
    const Finished text = run({"status"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(rows(text.out)["led"], "not reported");
    EXPECT_EQ(rows(text.out)["firmware"], "not reported");
    EXPECT_EQ(rows(text.out)["volume"], "15 (50 %)");

    const auto doc = parseJson(run({"--json", "status"}).out);
    EXPECT_EQ(doc.at("led"), "null");
    EXPECT_EQ(doc.at("firmware"), "null");
    EXPECT_EQ(doc.at("usedBulkRead"), "false");
}

// In order, against one headset: each write is checked on the headset's side, as the
// payload it now reports, and read back through get.
TEST_F(AvranectlTests, SetReachesTheHeadsetAndGetReadsItBack) {
    struct Row {
        Strings set;
        EventID item;
        const char* param;
        Strings get;
        const char* readBack;
    };
    const Row table[] = {
        // Volume: read, replace the level, write back: the reported percent is kept.
        {{"set", "volume", "22"}, EventID::headphoneVolume, "00 16 32", {"get", "volume"}, "22"},
        {{"set", "balance", "+5"}, EventID::gameChatMixBalance, "64", {"get", "balance"}, "5.0"},
        {{"set", "anc", "ambient"}, EventID::ambSetting, "02 0A 32 00", {"get", "anc"}, "ambient"},
        {{"set", "ambient-level", "17"}, EventID::ambSetting, "02 11 32 00", {"get", "ambient-level"}, "17"},
        {{"set", "anc", "off"}, EventID::ambSetting, "00 11 32 00", {"get", "anc"}, "off"},
        {{"raw", "set", "0x23", "3", "1E"}, EventID::sidetoneVolume, "03 1E", {"raw", "get", "sidetoneVolume"}, "03 1E"},
        // Accepted beside --port, which it means anyway.
        {{"--direct", "set", "led", "on"}, EventID::ledSetting, "01", {"--direct", "get", "led"}, "on"},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.set[1] + " " + row.set.back());
        const Finished set = run(row.set);
        EXPECT_EQ(set.status, 0) << set.err;
        EXPECT_EQ(set.out, "");
        EXPECT_EQ(hexDump(sim.model().param(row.item).value_or(Bytes{})), row.param);
        const Finished get = run(row.get);
        EXPECT_EQ(get.status, 0) << get.err;
        EXPECT_EQ(get.out, std::string(row.readBack) + "\n");
    }
    EXPECT_EQ(parseJson(run({"--json", "get", "balance"}).out),
              (std::map<std::string, std::string>{{"setting", "\"balance\""}, {"value", "5"}}));
}

TEST_F(AvranectlTests, UsageErrorsExitTwoWithoutTouchingTheHeadset) {
    const std::pair<Strings, const char*> table[] = {
        {{"frob"}, "unknown command \"frob\"; commands: list, status, get, set, watch, raw"},
        {{"get", "bass"}, "unknown setting \"bass\"; settings: volume, balance,"},
        {{"set", "volume", "31"}, "invalid value \"31\" for volume; accepted: 0-30"},
        {{"set", "mic", "live"}, "mic can only be read; settings that can be set: volume,"},
        // Only the settings, with their records' lengths and values.
        {{"raw", "set", "0xA0", "01"}, "updateFirmware is not a setting that may be written; the writable items are"},
        {{"raw", "set", "headphoneVolume", "14"}, "headphoneVolume takes 3 bytes, not 1 byte"},
        {{"raw", "set", "0x81", "0A"}, "[0A] is not a value of autoPowerOffSetting"},
        {{"list"}, "--port goes with the commands that talk to a dongle"},  // run() names the port
        {{"--bogus", "status"}, "unknown option \"--bogus\"; options: --port PATH, --direct"},
        {{"--port", "/dev/a", "--port=/dev/b", "status"}, "--port given twice"},
    };
    for (const auto& [args, message] : table) {
        const Finished result = run(args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    // The simulator handles requests in arrival order: once this one is in, any earlier
    // write would have been recorded before it.
    ASSERT_EQ(run({"raw", "get", "modelInfo"}).status, 0);
    ASSERT_EQ(sim.requestCount(), 1u);
    EXPECT_EQ(sim.requests()[0].packet.eventID, EventID::modelInfo);
}

TEST_F(AvranectlTests, LinkFailuresExitOneWithTheirDescriptionButNeverUpsetABar) {
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    const Finished silent = run({"status"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_EQ(silent.err, "avranectl: no reply to batteryInfo (the headset may be off or out of range)\n");
    EXPECT_EQ(silent.out, "");

    const Finished bar = run({"status", "--waybar"});
    EXPECT_EQ(bar.status, 0);
    const auto doc = parseJson(bar.out);
    EXPECT_EQ(doc.at("class"), "\"unreachable\"");
    EXPECT_EQ(doc.at("tooltip"), "\"Headset not responding\\nno reply to batteryInfo (the headset "
                                 "may be off or out of range)\"");
    EXPECT_EQ(doc.count("percentage"), 0u);

    const Strings missing{"--port", "/dev/avrane-nothing", "status"};
    const Finished gone = Subprocess(AVRANECTL_PATH, missing, options()).wait();
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "avranectl: cannot open /dev/avrane-nothing: No such file or directory\n");

    const Finished null = Subprocess(AVRANECTL_PATH, {"--port", "/dev/null", "status"}, options()).wait();
    EXPECT_EQ(null.status, 1);
    EXPECT_EQ(null.err, "avranectl: /dev/null is not a serial device\n");
}

// A write whose answer the pulled-out dongle cut off exits 3, apart from the failures: the
// headset may have taken it.
TEST_F(AvranectlTests, AWriteCutOffByThePulledOutDongleExitsThree) {
    sim.setRequestObserver([this](const sim::ReceivedRequest& request) {
        if (request.packet.eventType == EventType::set) sim.hangUp();  // stored, never answered
    });
    const Finished cut = run({"raw", "set", "ledSetting", "00"});
    EXPECT_EQ(cut.status, 3) << cut.err;
    EXPECT_EQ(cut.err, "avranectl: the line failed before the headset confirmed the write, which it may have taken (the "
                       "dongle at " + sim.slavePath() + " went away (unplugged or hung up): Input/output error)\n");
    EXPECT_FALSE(sim.model().led.isOn);
}

TEST_F(AvranectlTests, BarShowsBatteryAndItsClass) {
    const std::tuple<BatteryInfo, const char*, const char*> table[] = {
        {{.statusCode = 1, .percent = 9}, "\"9%\\u26a1\"", "\"charging\""},
        {{.statusCode = 0, .percent = 14}, "\"14%\"", "\"low\""},
        {{.statusCode = 0, .percent = 15}, "\"15%\"", "\"\""},
    };
    for (const auto& [battery, text, cssClass] : table) {
        sim::HeadsetModel model = sim.model();
        model.battery = battery;
        sim.setModel(model);
        const auto doc = parseJson(run({"status", "--waybar"}).out);
        EXPECT_EQ(doc.at("text"), text);
        EXPECT_EQ(doc.at("class"), cssClass);
        EXPECT_EQ(doc.at("percentage"), std::to_string(*battery.percent));
        EXPECT_EQ(doc.at("tooltip").substr(0, 12), "\"AVRANE H9\\n");
    }
}

TEST_F(AvranectlTests, WatchPrintsEachChangeUntilInterrupted) {
    Subprocess json = start({"--json", "watch"});
    // The three bulk reads have gone out: the state watch compares with is being read.
    ASSERT_TRUE(sim.waitForRequests(3));
    sim.change(EventID::headphoneVolume, [](sim::HeadsetModel& m) { m.headphoneVolume.level = 20; });
    const auto first = parseJson(json.readLine().value_or(""));
    EXPECT_EQ(first.at("event"), "\"headphoneVolume\"");
    EXPECT_EQ(first.at("headphoneVolume.level"), "20");
    EXPECT_TRUE(std::regex_match(first.at("time"), std::regex("\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\"")));
    // The same value again is no change; the battery that follows is.
    sim.announce(EventID::headphoneVolume);
    sim.change(EventID::batteryInfo, [](sim::HeadsetModel& m) { m.battery.percent = 55; });
    EXPECT_EQ(parseJson(json.readLine().value_or("")).at("battery.percent"), "55");
    json.signal(SIGINT);
    const Finished stopped = json.wait();
    EXPECT_EQ(stopped.status, 130) << stopped.err;
    EXPECT_EQ(stopped.err, "");
    EXPECT_EQ(stopped.out, "");

    // Text lines; pulling the dongle out ends the watch as a link failure.
    sim.clearRequests();
    Subprocess text = start({"watch"});
    ASSERT_TRUE(sim.waitForRequests(3));
    sim.change(EventID::ambSetting, [](sim::HeadsetModel& m) {
        m.ambient.mode = NoiseCancellingMode::ambientSound;
    });
    EXPECT_TRUE(std::regex_match(text.readLine().value_or(""), std::regex("\\d\\d:\\d\\d:\\d\\d  anc ambient")));
    sim.hangUp();
    const Finished unplugged = text.wait();
    EXPECT_EQ(unplugged.status, 1);
    EXPECT_EQ(unplugged.err, "avranectl: the dongle at " + sim.slavePath() +
                                 " went away (unplugged or hung up): Input/output error\n");
}

// A command waiting on a headset that does not answer ends at once on SIGINT or SIGTERM
// (it would otherwise wait out three attempts of 30 s), with the status a shell reports for
// that signal, and leaves the line free for the next program.
TEST_F(AvranectlTests, InterruptionEndsACommandWaitingOnTheHeadset) {
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    const std::pair<Strings, int> table[] = {{{"status"}, SIGTERM}, {{"watch"}, SIGINT}};
    for (const auto& [args, signal] : table) {
        SCOPED_TRACE(args[0] + " " + std::to_string(signal));
        sim.clearRequests();
        Strings all{"--port", sim.slavePath()};
        all.insert(all.end(), args.begin(), args.end());
        Subprocess tool(AVRANECTL_PATH, all, options({{"AVRANECTL_REPLY_TIMEOUT", "30"}}));
        ASSERT_TRUE(sim.waitForRequests(1));
        tool.signal(signal);
        const Finished result = tool.wait(std::chrono::seconds(10));
        EXPECT_EQ(result.status, 128 + signal);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
    sim.setFaults({});
    EXPECT_EQ(run({"get", "led"}).out, "on\n");
}

// With --follow a dongle that goes away is waited for, and what changed meanwhile is
// printed once it is back; the stable link of the simulator stands for a device name.
TEST_F(AvranectlTests, WatchFollowWaitsForTheDongleToComeBack) {
    const auto link = std::filesystem::temp_directory_path() / ("avranectl-link-" + std::to_string(::getpid()));
    sim::Simulator plugged(sim::Simulator::Options{.linkPath = link, .echoesSets = true, .model = {}});
    plugged.start();
    Subprocess tool(AVRANECTL_PATH, {"--json", "--port", link.string(), "--follow", "watch"}, options());
    // The first bulk part has been answered: a change of its volume shows once the state is read.
    ASSERT_TRUE(plugged.waitForRequests(3));
    plugged.change(EventID::headphoneVolume, [](sim::HeadsetModel& m) { ++m.headphoneVolume.level; });
    ASSERT_TRUE(tool.readLine());
    plugged.hangUp();
    const auto gone = parseJson(tool.readLine().value_or(""));
    sim::HeadsetModel model = plugged.model();
    model.headphoneVolume.level = 9;
    plugged.setModel(model);
    plugged.replug();
    EXPECT_EQ(gone.at("event"), "\"dongleGone\"");
    EXPECT_EQ(gone.at("devicePath"), "\"" + link.string() + "\"");
    EXPECT_EQ(parseJson(tool.readLine().value_or("")).at("event"), "\"dongleBack\"");
    EXPECT_EQ(parseJson(tool.readLine().value_or("")).at("headphoneVolume.level"), "9");
    tool.signal(SIGINT);
    EXPECT_EQ(tool.wait().status, 130);
}

// Output that cannot be written is an error as in any command-line tool: a full disk or a
// reader that went away end the command with a message and status 1.
TEST_F(AvranectlTests, OutputErrorsExitOneWithTheirReason) {
    const std::tuple<Strings, Output, const char*> table[] = {
        {{"status"}, Output::fullDisk, "No space left on device"},
        {{"watch"}, Output::closedPipe, "Broken pipe"},
    };
    for (const auto& [args, output, reason] : table) {
        SCOPED_TRACE(args.back());
        Strings all{"--port", sim.slavePath()};
        all.insert(all.end(), args.begin(), args.end());
        auto o = options();
        o.output = output;
        Subprocess tool(AVRANECTL_PATH, all, o);
        if (args.back() == "watch") {
            // Nothing is written until something changes (in the part of the state read
            // that is answered already); then watch stops.
            ASSERT_TRUE(sim.waitForRequests(3));
            sim.change(EventID::headphoneVolume, [](sim::HeadsetModel& m) { ++m.headphoneVolume.level; });
        }
        const Finished result = tool.wait();
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, std::string("avranectl: write error: ") + reason + "\n");
        sim.clearRequests();
    }
}

TEST_F(AvranectlTests, JsonStaysValidWhateverThePathHolds) {
    const auto dir = std::filesystem::temp_directory_path() / ("avranectl-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "say \"hi\" \\ tab\t bell\x07 bad\xFF csi\xC2\x9B").string();
    std::filesystem::create_symlink(sim.slavePath(), path);
    const Finished result =
        Subprocess(AVRANECTL_PATH, {"--json", "--port", path, "status"}, options()).wait();
    const Finished text = Subprocess(AVRANECTL_PATH, {"--port", path, "status"}, options()).wait();
    std::filesystem::remove_all(dir);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(parseJson(result.out).at("dongle.devicePath"),
              "\"" + dir.string() + "/say \\\"hi\\\" \\\\ tab\\t bell\\u0007 bad\\ufffd csi\\u009b\"");
    // Text keeps what prints and writes out the control characters (C1 too) and the bytes
    // that are not UTF-8, which an 8-bit terminal could take for controls.
    EXPECT_EQ(rows(text.out)["dongle"],
              "virtual port at " + dir.string() + "/say \"hi\" \\ tab\\t bell\\x07 bad\\xFF csi\\u009B");
}

// Run as whoever runs the suite: as root, only the lock on the device holds it back.
TEST_F(AvranectlTests, BusyDongleIsSaidPlainly) {
    SerialPort holder(sim.slavePath(), false);
    holder.open();
    const Finished result = run({"status"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "avranectl: the dongle is in use by another program (cannot open " +
                              sim.slavePath() + ": Device or resource busy)\n");
}

// A device of the dialout group, opened by a user outside it.
TEST_F(AvranectlTests, PermissionFailureNamesTheDeviceAndWhatToDo) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the tool as another user";
    const group* dialout = ::getgrnam("dialout");
    if (!dialout) GTEST_SKIP() << "no dialout group here";
    ASSERT_EQ(::chown(sim.slavePath().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(sim.slavePath().c_str(), 0660), 0);
    auto asNobody = options();
    asNobody.asUser = 65534;
    const Finished result = Subprocess(AVRANECTL_PATH, {"--port", sim.slavePath(), "status"}, asNobody).wait();
    if (result.status == 125) GTEST_SKIP() << "cannot run as nobody here";
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "avranectl: cannot open " + sim.slavePath() +
                              ": Permission denied; install the udev rule (or the AvraneBar package) and "
                              "plug the dongle in again, or join the group dialout: sudo usermod -aG "
                              "dialout \"$USER\", then log out and in again\n");
}

}  // namespace
}  // namespace avrane
