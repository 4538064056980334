#pragma once

#include <cstdint>
#include <optional>

#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/BatteryInfo.h"
#include "AvraneKit/Settings/BluetoothStatus.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/NCToggleSetting.h"
#include "AvraneKit/Settings/VolumeSettings.h"

namespace avrane {

// Everything read from the headset in one pass; a field stays empty when its read failed.
struct HeadsetState {
    std::optional<std::uint8_t> modelID;
    std::optional<BatteryInfo> battery;
    std::optional<HeadphoneVolume> headphoneVolume;
    std::optional<GameChatBalance> gameChatBalance;
    std::optional<SidetoneVolume> sidetoneVolume;
    std::optional<MicrophoneVolume> microphoneVolume;
    std::optional<AmbientSetting> ambient;
    std::optional<NCToggleSetting> ncToggle;
    std::optional<AutoPowerOff> autoPowerOff;
    std::optional<LEDSetting> led;
    std::optional<NoiseCancellingStartupMode> ncStartupMode;
    std::optional<BluetoothStatus> bluetooth;
    std::optional<BluetoothSoundMode> bluetoothSoundMode;
    std::optional<BluetoothStartupMode> bluetoothStartupMode;
    // True when the state came from the three bulk reads; informational only.
    bool usedBulkRead = false;

    bool operator==(const HeadsetState&) const = default;
};

}  // namespace avrane
