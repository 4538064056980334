#include "AvraneKit/Client/HeadsetClient.h"

namespace avrane {
namespace {

HeadsetState stateFromBulk(const HeadsetClient::AllSettings& all) {
    const auto& [part1, part2, part3] = all;
    const Bytes bluetooth{part3.btStatus, part3.btConnectionStatus};
    return HeadsetState{
        .modelID = part1.modelID,
        .battery = part1.battery,
        .headphoneVolume = part1.headphoneVolume,
        .gameChatBalance = part1.gameChatBalance,
        .sidetoneVolume = part1.sidetoneVolume,
        .microphoneVolume = part2.microphoneVolume,
        .ambient = part2.ambient,
        .ncToggle = part2.ncToggle,
        .autoPowerOff = part3.autoPowerOff,
        .led = part3.led,
        .ncStartupMode = fromRaw<NoiseCancellingStartupMode>(part3.ncStartupMode),
        .bluetooth = BluetoothStatus::decode(bluetooth),
        .bluetoothSoundMode = fromRaw<BluetoothSoundMode>(part3.btSoundQuality),
        .bluetoothStartupMode = fromRaw<BluetoothStartupMode>(part3.btStartupMode),
        .usedBulkRead = true,
    };
}

// An optional item: its failure leaves the field empty and the read goes on.
template <class Read>
auto optionalRead(Read read) -> std::optional<decltype(read())> {
    try {
        return read();
    } catch (const HeadsetClient::Failure&) {
    } catch (const SerialPort::Failure&) {
    }
    return std::nullopt;
}

}  // namespace

HeadsetState HeadsetClient::state() {
    try {
        return stateFromBulk(allSettings());
    } catch (const Failure&) {
    } catch (const SerialPort::Failure&) {
    }

    // One item at a time. The battery comes first and is the only required item, so an
    // unreachable headset costs one item's retries, not thirteen.
    HeadsetState state;
    state.battery = batteryInfo();
    state.headphoneVolume = optionalRead([&] { return headphoneVolume(); });
    state.gameChatBalance = optionalRead([&] { return gameChatBalance(); });
    state.sidetoneVolume = optionalRead([&] { return sidetoneVolume(); });
    state.microphoneVolume = optionalRead([&] { return microphoneVolume(); });
    state.ambient = optionalRead([&] { return ambientSetting(); });
    state.ncToggle = optionalRead([&] { return ncToggleSetting(); });
    state.autoPowerOff = optionalRead([&] { return autoPowerOff(); });
    state.led = optionalRead([&] { return ledSetting(); });
    state.ncStartupMode = optionalRead([&] { return ncStartupMode(); });
    state.bluetooth = optionalRead([&] { return bluetoothStatus(); });
    state.bluetoothSoundMode = optionalRead([&] { return bluetoothSoundMode(); });
    state.bluetoothStartupMode = optionalRead([&] { return bluetoothStartupMode(); });
    return state;
}

}  // namespace avrane
