#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/BatteryInfo.h"
#include "AvraneKit/Settings/BluetoothStatus.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/FirmwareVersion.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/ModelInfo.h"
#include "AvraneKit/Settings/NCToggleSetting.h"
#include "AvraneKit/Settings/VolumeSettings.h"
#include "AvraneKit/Support/Bytes.h"

namespace avrane::sim {

// The percentage the headset reports for a step of a scale with `top` steps, rounded.
inline std::uint8_t percentOfSteps(unsigned level, unsigned top) {
    return static_cast<std::uint8_t>(std::min(100u, (level * 100 + top / 2) / top));
}

// What the simulated headset (and its dongle) knows, with the defaults of a headset fresh
// out of the box: an H9 at 80 % and discharging, mid volume, noise cancelling on.
struct HeadsetModel {
    ModelInfo modelInfo{.modelID = 0, .destination = 0, .serialNumber = 0x2959, .colorCode = 0,
                        .statusCode = 0};
    FirmwareVersion firmware{.headset = {2, 1, 5}, .dongle = {1, 3, 7}};
    BatteryInfo battery{.statusCode = 0, .percent = 80};
    HeadphoneVolume headphoneVolume{.isMuted = false, .level = 15, .reportedPercent = 50};
    GameChatBalance gameChatBalance{50};
    SidetoneVolume sidetoneVolume{.level = 5, .reportedPercent = 50};
    MicrophoneVolume microphoneVolume{.isMuted = false, .level = 10, .reportedPercent = 66};
    AmbientSetting ambient{.mode = NoiseCancellingMode::noiseCancelling, .ambientLevel = 10,
                           .voiceFocus = false, .reportedPercent = 50};
    NCToggleSetting ncToggle{true, true, true};
    NoiseCancellingStartupMode ncStartupMode = NoiseCancellingStartupMode::modeAtPowerOff;
    BluetoothStatus bluetooth{BluetoothStatus::Power::on, BluetoothStatus::Link::unconnected};
    BluetoothSoundMode bluetoothSoundMode = BluetoothSoundMode::connectionPriority;
    BluetoothStartupMode bluetoothStartupMode = BluetoothStartupMode::lastState;
    AutoPowerOff autoPowerOff = AutoPowerOff::after30Minutes;
    LEDSetting led{true};
    // Items without a record here, kept as raw params: a `set` stores one, a `get` returns
    // it. An item in none of the fields and not in this map is not answered.
    std::map<EventID, Bytes> otherItems;

    bool operator==(const HeadsetModel&) const = default;

    // The item's current value as a reply param (the three bulk parts included), or nothing
    // for an item the headset does not know.
    std::optional<Bytes> param(EventID item) const;

    // A `set`: stores the value when the item is writable and the param decodes; false
    // otherwise, leaving the model as it was.
    bool apply(EventID item, ByteView param);
};

}  // namespace avrane::sim
