#pragma once

#include <cstdint>
#include <optional>

#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/BatteryInfo.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/NCToggleSetting.h"
#include "AvraneKit/Settings/VolumeSettings.h"
#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// The bulk reads: nearly every setting in three replies, each a fixed concatenation of the
// single-item layouts, decoded slice by slice with the single-item decoders.

// modelID | battery (2) | headphone volume (3) | balance (1) | sidetone (2): 9 bytes.
struct AllFunctionSettingsPart1 {
    std::uint8_t modelID = 0;
    BatteryInfo battery;
    HeadphoneVolume headphoneVolume;
    GameChatBalance gameChatBalance;
    SidetoneVolume sidetoneVolume;

    bool operator==(const AllFunctionSettingsPart1&) const = default;

    static std::optional<AllFunctionSettingsPart1> decode(ByteView param);
};

// microphone volume (3) | ambient setting (4) | noise-cancelling toggle (3): 10 bytes. An
// ambient mode byte above 2 fails the whole part.
struct AllFunctionSettingsPart2 {
    MicrophoneVolume microphoneVolume;
    AmbientSetting ambient;
    NCToggleSetting ncToggle;

    bool operator==(const AllFunctionSettingsPart2&) const = default;

    static std::optional<AllFunctionSettingsPart2> decode(ByteView param);
};

// NC startup | BT power | BT link | BT sound | BT startup | auto power-off | light: 7 bytes.
// The first five stay raw codes for the state reader to interpret; an auto power-off byte
// outside its table leaves only that field absent.
struct AllFunctionSettingsPart3 {
    std::uint8_t ncStartupMode = 0;
    std::uint8_t btStatus = 0;
    std::uint8_t btConnectionStatus = 0;
    std::uint8_t btSoundQuality = 0;
    std::uint8_t btStartupMode = 0;
    std::optional<AutoPowerOff> autoPowerOff;
    LEDSetting led;

    bool operator==(const AllFunctionSettingsPart3&) const = default;

    static std::optional<AllFunctionSettingsPart3> decode(ByteView param);
};

}  // namespace avrane
