#include <algorithm>

#include "SimulatedHeadset.h"

namespace avrane {
namespace {

using testing::errorOf;

class HeadsetStateTests : public testing::SimulatedHeadset {
protected:
    // What a full read of the simulated headset gives, field by field.
    static HeadsetState expectedState(const sim::HeadsetModel& m, bool bulk) {
        return HeadsetState{
            .modelID = bulk ? std::optional<std::uint8_t>(m.modelInfo.modelID) : std::nullopt,
            .battery = m.battery,
            .headphoneVolume = m.headphoneVolume,
            .gameChatBalance = m.gameChatBalance,
            .sidetoneVolume = m.sidetoneVolume,
            .microphoneVolume = m.microphoneVolume,
            .ambient = m.ambient,
            .ncToggle = m.ncToggle,
            .autoPowerOff = m.autoPowerOff,
            .led = m.led,
            .ncStartupMode = m.ncStartupMode,
            .bluetooth = m.bluetooth,
            .bluetoothSoundMode = m.bluetoothSoundMode,
            .bluetoothStartupMode = m.bluetoothStartupMode,
            .usedBulkRead = bulk,
        };
    }
};

TEST_F(HeadsetStateTests, BulkReadTakesThreeRequests) {
    // Values away from the defaults, so that a slice taken from the wrong place shows.
    auto model = sim.model();
    model.modelInfo.modelID = 1;
    model.battery = {.statusCode = 1, .percent = 42};
    model.headphoneVolume = {true, 21, 70};
    model.gameChatBalance = GameChatBalance(33);
    model.sidetoneVolume = {3, 30};
    model.microphoneVolume = {true, 4, 13};
    model.ambient = {NoiseCancellingMode::ambientSound, 17, true, 85};
    model.ncToggle = {false, true, false};
    model.ncStartupMode = NoiseCancellingStartupMode::ambientSound;
    model.bluetooth = {BluetoothStatus::Power::on, BluetoothStatus::Link::pairing};
    model.bluetoothSoundMode = BluetoothSoundMode::soundQualityPriority;
    model.bluetoothStartupMode = BluetoothStartupMode::on;
    model.autoPowerOff = AutoPowerOff::after180Minutes;
    model.led = {false};
    sim.setModel(model);

    EXPECT_EQ(client->state(), expectedState(model, true));
    EXPECT_EQ(items(sim.requests()),
              (std::vector<EventID>{EventID::allFunctionSettingsPart1,
                                    EventID::allFunctionSettingsPart2,
                                    EventID::allFunctionSettingsPart3}));
}

TEST_F(HeadsetStateTests, UnknownCodesInPartThreeOnlyEmptyTheirFields) {
    sim.updateFaults([](sim::Faults& f) {
        f.malformedReplies[EventID::allFunctionSettingsPart3] = {0x09, 0x01, 0x07, 0x05, 0x02, 0x0F, 0x00};
    });
    const auto state = client->state();
    EXPECT_TRUE(state.usedBulkRead);
    EXPECT_EQ(state.ncStartupMode, std::nullopt);
    EXPECT_EQ(state.bluetooth, (BluetoothStatus{BluetoothStatus::Power::on, std::nullopt}));
    EXPECT_EQ(state.bluetoothSoundMode, std::nullopt);
    EXPECT_EQ(state.bluetoothStartupMode, BluetoothStartupMode::lastState);
    EXPECT_EQ(state.autoPowerOff, AutoPowerOff::after15Minutes);
}

TEST_F(HeadsetStateTests, FallsBackToSingleItemsWhenABulkPartTimesOut) {
    client->replyTimeout = 0.1;
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::allFunctionSettingsPart2}; });
    EXPECT_EQ(client->state(), expectedState(sim.model(), false));
    const auto asked = items(allRequests());
    EXPECT_EQ(std::count(asked.begin(), asked.end(), EventID::allFunctionSettingsPart2), 3);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), EventID::allFunctionSettingsPart3), 0);
}

TEST_F(HeadsetStateTests, FallbackFailsWithTheBatteryErrorAndAsksNothingMore) {
    client->replyTimeout = 0.1;
    sim.updateFaults([](sim::Faults& f) {
        f.bulkUnsupported = true;
        f.silentItems = {EventID::batteryInfo};
    });
    const auto failure = errorOf<HeadsetClient::Failure>([&] { client->state(); });
    EXPECT_EQ(failure.kind(), HeadsetClient::Failure::Kind::timeout);
    EXPECT_EQ(failure.description(),
              "no reply to batteryInfo (the headset may be off or out of range)");
    // The first bulk part failed to decode: the other two are not asked for.
    EXPECT_EQ(items(allRequests()),
              (std::vector<EventID>{EventID::allFunctionSettingsPart1, EventID::batteryInfo,
                                    EventID::batteryInfo, EventID::batteryInfo}));
}

TEST_F(HeadsetStateTests, LineLostInTheFallbackKeepsWhatWasRead) {
    sim.updateFaults([](sim::Faults& f) { f.bulkUnsupported = true; });
    // The dongle is pulled out as the sidetone is asked for.
    sim.setRequestObserver([this](const sim::ReceivedRequest& r) {
        if (r.packet.eventID == EventID::sidetoneVolume) sim.hangUp();
    });
    const auto state = client->state();
    EXPECT_EQ(state.battery, sim.model().battery);
    EXPECT_EQ(state.gameChatBalance, sim.model().gameChatBalance);
    EXPECT_EQ(state.sidetoneVolume, std::nullopt);
    EXPECT_EQ(state.bluetoothStartupMode, std::nullopt);
    EXPECT_FALSE(state.usedBulkRead);
}

}  // namespace
}  // namespace avrane
