#include <gmock/gmock.h>

#include <QFile>
#include <QFileInfo>

#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Panel/PanelModel.h"
#include "AvraneBar/Panel/PopUpLists.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "AvraneSim/Simulator.h"
#include "SteppedCalls.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using Availability = HeadsetSnapshot::Availability;
using ::testing::ElementsAre;

HeadsetSnapshot connected() {
    HeadsetSnapshot s;
    s.availability = Availability::connected();
    s.dongleName = "AVRANE H9 / H7";
    s.model = ModelInfo{};
    s.firmware = FirmwareVersion{{2, 1, 5}, {1, 3, 7}};
    s.batteryPercent = 81;
    s.batteryCharging = false;
    s.volume = HeadphoneVolume{false, 15, 50};
    s.balance = GameChatBalance(50);
    s.sidetone = SidetoneVolume{5, 50};
    s.micMuted = false;
    s.ambient = AmbientSetting{NoiseCancellingMode::noiseCancelling, 10, false, 50};
    s.bluetooth = BluetoothStatus{BluetoothStatus::Power::on, BluetoothStatus::Link::connected};
    s.bluetoothSoundMode = BluetoothSoundMode::connectionPriority;
    s.bluetoothStartupMode = BluetoothStartupMode::lastState;
    s.ncStartupMode = NoiseCancellingStartupMode::modeAtPowerOff;
    s.autoPowerOff = AutoPowerOff::after30Minutes;
    s.led = LEDSetting{true};
    return s;
}

HeadsetSnapshot unavailable(Availability availability) {
    HeadsetSnapshot s;
    s.availability = std::move(availability);
    return s;
}

class PanelModelTest : public ::testing::Test {
protected:
    struct Write {
        std::vector<EventID> events;
        HeadsetController::WriteOperation operation;
        testing::SteppedCalls::Time at;
        HeadsetController::Completion done;
    };

    PanelModel::Options options() {
        PanelModel::Options o;
        o.apply = [this](std::vector<EventID> events, HeadsetController::WriteOperation write,
                         HeadsetController::Completion done) {
            writes.push_back({std::move(events), std::move(write), calls.now(), std::move(done)});
        };
        o.calls = &calls;
        o.texts = &texts;
        o.defaults = defaults;
        o.autostart = AutostartEntry(autostartFile, "/opt/avrane bar/avrane-bar");
        o.now = [this] { return wall; };
        o.monotonicNow = [this] { return calls.now(); };
        o.home = QStringLiteral("/home/someone");
        return o;
    }

    // Runs a write the panel handed over against the simulated headset, and returns what the
    // headset then holds.
    sim::HeadsetModel headsetAfter(const Write& write) {
        if (!sim) {
            sim = std::make_unique<sim::Simulator>();
            sim->start();
            client = std::make_unique<HeadsetClient>(DiscoveredDongle{DongleModel::h9, sim->slavePath(), "SIM"},
                                                     std::make_unique<SerialPort>(sim->slavePath(), false));
            client->open();
        }
        write.operation(*client);
        return sim->model();
    }

    UserDefaults defaults{testing::freshFilePath()};
    QString autostartFile = testing::freshFilePath(".desktop");
    TimePoint wall = std::chrono::sys_days{std::chrono::May / 1 / 2024} + 9h;
    Localization texts{{defaults, [] { return QStringList{"en-US"}; }, [this] { return wall; }}};
    testing::SteppedCalls calls;
    std::vector<Write> writes;
    PanelModel model{options()};
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<HeadsetClient> client;
};

TEST_F(PanelModelTest, firstRenderFillsEverythingAndLaterOnesOnlyWhatChanged) {
    const PanelUpdate first = model.render(connected());
    ASSERT_TRUE(first.header && first.battery && first.volume && first.balance && first.sidetone && first.mic);
    EXPECT_EQ(first.btModeIndex, 1);  // connection priority is listed second
    // Cards start shown; noise cancelling hides the ambient rows, which re-limits the size.
    EXPECT_EQ(first.visibility, (VisibilityChange{std::nullopt, false, false, true}));

    HeadsetSnapshot next = connected();
    next.batteryPercent = 80;
    PanelUpdate expected;
    expected.battery = BatteryLine{"Battery 80%", Tone::secondary, 80, false};
    EXPECT_EQ(model.render(next), expected);
    EXPECT_EQ(model.render(next), PanelUpdate{});
}

TEST_F(PanelModelTest, headerAndCardsFollowTheAvailability) {
    model.render(connected());
    const PanelUpdate lost = model.render(unavailable(Availability::headsetUnreachable("no reply")));
    EXPECT_EQ(lost.header, (HeaderText{"Headset not responding", "Turn the headset on, or bring it closer.", true}));
    EXPECT_EQ(lost.visibility, (VisibilityChange{true, true, std::nullopt, true}));
    EXPECT_FALSE(lost.volume) << "hidden cards keep their values";
    // Still unreachable, for another reason: the header again, but no change of visibility.
    const PanelUpdate again = model.render(unavailable(Availability::headsetUnreachable("other")));
    EXPECT_EQ(again.visibility, (VisibilityChange{std::nullopt, true, std::nullopt, false}));

    EXPECT_EQ(model.render(unavailable(Availability::noDongle("cannot open /dev/ttyACM0: Permission non accordée", true))).header->device,
              "Cannot open the AVRANE dongle");
    EXPECT_EQ(model.render(unavailable(Availability::dongleInUse("cannot open /dev/ttyACM0: Device or resource busy"))).header->device,
              "Dongle in use by another program");
    const PanelUpdate back = model.render(connected());
    EXPECT_EQ(back.visibility.headsetCardsHidden, false);
    EXPECT_TRUE(back.volume);
}

TEST_F(PanelModelTest, aUsersChangeHoldsTheControlsUntilTheHeadsetHasAnswered) {
    int holdEnds = 0;
    PanelModel::Options o = options();
    o.holdEnded = [&] { ++holdEnds; };
    PanelModel panel(o);
    panel.render(connected());
    EXPECT_EQ(panel.volumeChanged(12), "12");
    HeadsetSnapshot meanwhile = connected();
    meanwhile.volume->level = 12;  // the write's answer
    meanwhile.led = LEDSetting{false};  // and a change made on the headset
    meanwhile.batteryPercent = 70;
    calls.advance(900ms);
    meanwhile.micMuted = true;
    const PanelUpdate held = panel.render(meanwhile);
    EXPECT_FALSE(held.volume || held.led);
    EXPECT_TRUE(held.battery) << "the header is not held";
    EXPECT_EQ(held.mic, (ToneText{"Muted", Tone::secondary})) << "nor what is only shown";
    texts.setLanguage(Language::korean);  // and in a new language at once
    panel.forgetShown();
    EXPECT_EQ(panel.render(meanwhile).mic, (ToneText{"음소거", Tone::secondary}));
    texts.setLanguage(Language::english);
    panel.volumeChanged(13);  // the hand moves again: the hold starts over
    calls.advance(150ms);
    ASSERT_EQ(writes.size(), 2u);
    writes[0].done(std::nullopt);
    writes[1].done(std::nullopt);  // answered well within the second
    calls.advance(849ms);
    EXPECT_EQ(holdEnds, 0);
    calls.advance(1ms);
    EXPECT_EQ(holdEnds, 1) << "the panel is asked to render once the hold is over";

    // Then every setting control shows the headset again, what changed meanwhile included.
    meanwhile.volume->level = 13;
    const PanelUpdate after = panel.render(meanwhile);
    EXPECT_EQ(after.volume, (SliderValue{13, "13"}));
    EXPECT_EQ(after.led, false);
    EXPECT_EQ(after.ancIndex, 1);
    PanelUpdate nothingNew;
    nothingNew.switches = after.switches;
    EXPECT_EQ(panel.render(meanwhile), nothingNew) << "and only changes after that";

    // A slow write (retries, a full read ahead of it): past the second the controls wait for
    // its answer, and a snapshot from before it changes none of them.
    panel.volumeChanged(20);
    calls.advance(2s);
    EXPECT_EQ(holdEnds, 1);
    EXPECT_TRUE(panel.isHolding());
    EXPECT_FALSE(panel.render(meanwhile).volume);
    writes.back().done(HeadsetController::Failure{HeadsetController::Failure::Kind::noReply, "no reply to headphoneVolume"});  // a failure ends it too
    EXPECT_EQ(holdEnds, 2);
    EXPECT_EQ(panel.render(meanwhile).volume, (SliderValue{13, "13"})) << "a write the headset did not take";

    // One that never comes back is given up 5 s after the last change, and a late answer
    // ends no later hold.
    panel.volumeChanged(21);
    calls.advance(4999ms);
    EXPECT_EQ(holdEnds, 2);
    calls.advance(1ms);
    EXPECT_EQ(holdEnds, 3);
    writes.back().done(std::nullopt);
    EXPECT_EQ(holdEnds, 3);
    panel.volumeChanged(22);
    calls.advance(150ms);
    writes.back().done(std::nullopt);
    EXPECT_TRUE(panel.isHolding());
    calls.advance(850ms);
    EXPECT_EQ(holdEnds, 4);
}

TEST_F(PanelModelTest, slidersSnapWhatTheyShowAndWrite) {
    const struct {
        double volume;
        const char* text;
        std::uint8_t level;
    } volumes[] = {{12.5, "13", 13}, {12.49, "12", 12}};
    for (const auto& row : volumes) {
        SCOPED_TRACE(row.volume);
        EXPECT_EQ(model.volumeChanged(row.volume), row.text);
        calls.advance(150ms);
        EXPECT_EQ(headsetAfter(writes.back()).headphoneVolume.level, row.level);
    }
    const struct {
        double position;
        const char* text;
        std::uint8_t raw;
    } balances[] = {{0.25, "Chat 0.5", 55}, {-0.2, "Even", 50}, {-5, "Game 5.0", 0}};
    for (const auto& row : balances) {
        SCOPED_TRACE(row.position);
        EXPECT_EQ(model.balanceChanged(row.position), row.text);
        calls.advance(150ms);
        EXPECT_THAT(writes.back().events, ElementsAre(EventID::gameChatMixBalance));
        EXPECT_EQ(headsetAfter(writes.back()).gameChatBalance.rawValue, row.raw);
    }
}

TEST_F(PanelModelTest, popUpsAndSwitchesWriteTheirChoice) {
    model.render(connected());
    // Ambient sound shows its rows before the headset answers.
    EXPECT_EQ(model.ancChanged(2), (VisibilityChange{std::nullopt, std::nullopt, true, true}));
    model.voiceFocusChanged(true);
    model.ambientLevelChanged(17.4);
    model.autoPowerOffChanged(5);
    model.btModeChanged(0);
    model.btStartupChanged(1);
    model.ncStartupChanged(2);
    model.ledChanged(false);
    calls.advance(150ms);
    ASSERT_EQ(writes.size(), 8u);
    sim::HeadsetModel headset;
    for (const Write& write : writes) headset = headsetAfter(write);
    // Three writes of one record, each reading it afresh: none undoes another.
    EXPECT_EQ(headset.ambient, (AmbientSetting{NoiseCancellingMode::ambientSound, 17, true, 50}));
    EXPECT_EQ(headset.autoPowerOff, AutoPowerOff::after180Minutes);
    EXPECT_EQ(headset.bluetoothSoundMode, BluetoothSoundMode::soundQualityPriority);
    EXPECT_EQ(headset.bluetoothStartupMode, BluetoothStartupMode::on);
    EXPECT_EQ(headset.ncStartupMode, NoiseCancellingStartupMode::ambientSound);
    EXPECT_EQ(headset.led, LEDSetting{false});
}

TEST_F(PanelModelTest, aPopUpWithoutSelectionDoesNothing) {
    for (const int index : {-1, 3}) {
        EXPECT_EQ(model.ancChanged(index), VisibilityChange{});
        model.btModeChanged(index);
    }
    model.autoPowerOffChanged(6);
    model.ncStartupChanged(-1);
    model.languageChanged(3);
    model.updateIntervalChanged(-1);
    calls.advance(1s);
    EXPECT_TRUE(writes.empty());
    EXPECT_FALSE(model.isHolding());
    EXPECT_EQ(texts.language(), Language::system);
}

TEST_F(PanelModelTest, preferencesAndLanguageAreStoredAndAnnounced) {
    model.batteryTextChanged(false);
    model.dockChanged(true);
    model.lowBatteryAlertsChanged(false);
    EXPECT_EQ(model.render(HeadsetSnapshot{}).switches, (MenuBarSwitches{false, false, true, false, false}));
    EXPECT_FALSE(model.isHolding()) << "preferences do not hold the headset's controls";

    model.updateIntervalChanged(4);
    EXPECT_EQ(UpdateChecker::interval(defaults), UpdateCheckInterval::weekly);
    model.languageChanged(1);
    EXPECT_EQ(texts.language(), Language::korean);
    const PanelLabels labels = model.labels();
    EXPECT_EQ(labels.languageIndex, 1);
    EXPECT_EQ(labels.updateIntervalIndex, 4);
}

// The switch shows whether the autostart entry is there: written with the option that keeps
// the panel closed, and off again when the file goes or the desktop marks it hidden.
TEST_F(PanelModelTest, startAtLoginIsTheAutostartEntry) {
    EXPECT_TRUE(model.startAtLoginChanged(true).switches.startAtLogin);
    EXPECT_TRUE(model.render(HeadsetSnapshot{}).switches.startAtLogin);
    EXPECT_THAT(testing::readFile(autostartFile).toStdString(),
                ::testing::HasSubstr("Exec=\"/opt/avrane bar/avrane-bar\" --autostart\n"));
    QFile::remove(autostartFile);
    EXPECT_FALSE(model.render(HeadsetSnapshot{}).switches.startAtLogin);
    model.startAtLoginChanged(true);
    testing::writeFile(autostartFile, testing::readFile(autostartFile) + "Hidden=true\n");
    EXPECT_FALSE(model.render(HeadsetSnapshot{}).switches.startAtLogin);
    EXPECT_FALSE(model.startAtLoginChanged(false).switches.startAtLogin);
    EXPECT_FALSE(QFile::exists(autostartFile));

    // A program on PATH is named by its name alone.
    const QString program = QFileInfo(autostartFile).absolutePath() + "/avrane-bar";
    testing::writeFile(program, "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(QFileInfo(program).absolutePath()) + ':' + path);
    EXPECT_EQ(AutostartEntry::command(program), "avrane-bar");
    qputenv("PATH", path);
    EXPECT_EQ(AutostartEntry::command(program), program);
}

// With a configuration folder that cannot be written (sysfs takes no new files, whoever asks),
// every stored choice goes back to what is stored, and one line says why, in the language in
// use; the next choice that is saved takes the line away.
TEST_F(PanelModelTest, choicesThatCannotBeSavedGoBackAndSayWhy) {
    const UserDefaults unwritable(QStringLiteral("/sys/avrane-config/avrane/AvraneBar.conf"));
    Localization korean{{unwritable, [] { return QStringList{"ko-KR"}; }}};
    PanelModel::Options o = options();
    o.defaults = unwritable;
    o.texts = &korean;
    o.autostart = AutostartEntry("/sys/avrane-config/autostart/avrane.desktop", "/usr/bin/avrane-bar");
    PanelModel panel(o);
    const StoredSettings asStored = panel.storedSettings();
    EXPECT_EQ(asStored.notSaved, std::nullopt);
    const QString line = QStringLiteral("설정을 저장하지 못했습니다: /sys/avrane-config/avrane에 쓸 수 없습니다");
    const StoredSettings answers[] = {panel.batteryTextChanged(false), panel.volumeTextChanged(true),
                                      panel.dockChanged(true), panel.lowBatteryAlertsChanged(false),
                                      panel.languageChanged(2), panel.updateIntervalChanged(0)};
    for (const StoredSettings& answer : answers) {
        EXPECT_EQ(answer.switches, asStored.switches);
        EXPECT_EQ(answer.languageIndex, 0) << "the language menu shows the language in effect";
        EXPECT_EQ(answer.updateIntervalIndex, asStored.updateIntervalIndex);
        EXPECT_EQ(answer.notSaved, line);
    }
    EXPECT_EQ(korean.language(), Language::system);
    EXPECT_EQ(panel.startAtLoginChanged(true).notSaved,
              QStringLiteral("설정을 저장하지 못했습니다: /sys/avrane-config/autostart에 쓸 수 없습니다"));
    EXPECT_FALSE(panel.storedSettings().switches.startAtLogin);

    // In English, with the home folder written short; gone once a choice is saved.
    EXPECT_EQ(model.storedSettings().notSaved, std::nullopt);
    EXPECT_EQ(panel::notSavedText({SaveFailure::Reason::readOnly, "/home/someone/.config/avrane", "Permission denied"},
                                  texts, "/home/someone"),
              "Setting not saved: ~/.config/avrane cannot be written");
    PanelModel::Options again = options();
    again.autostart = o.autostart;
    PanelModel writable(again);
    ASSERT_TRUE(writable.startAtLoginChanged(true).notSaved);
    EXPECT_EQ(writable.volumeTextChanged(true).notSaved, std::nullopt);
}

TEST_F(PanelModelTest, pendingWritesDieWithThePanel) {
    {
        PanelModel gone(options());
        gone.ledChanged(true);
    }
    calls.advance(1s);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(calls.pending(), 0u);
}

}  // namespace
}  // namespace avrane
