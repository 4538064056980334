#include "AvraneKit/Settings/AllFunctionSettings.h"

namespace avrane {

std::optional<AllFunctionSettingsPart1> AllFunctionSettingsPart1::decode(ByteView param) {
    if (param.size() < 9) return std::nullopt;
    // Each slice has the exact length its decoder needs, and those decoders reject nothing
    // else, so none of these can be empty.
    return AllFunctionSettingsPart1{
        .modelID = param[0],
        .battery = *BatteryInfo::decode(param.subspan(1, 2)),
        .headphoneVolume = *HeadphoneVolume::decode(param.subspan(3, 3)),
        .gameChatBalance = *GameChatBalance::decode(param.subspan(6, 1)),
        .sidetoneVolume = *SidetoneVolume::decode(param.subspan(7, 2)),
    };
}

std::optional<AllFunctionSettingsPart2> AllFunctionSettingsPart2::decode(ByteView param) {
    if (param.size() < 10) return std::nullopt;
    const auto ambient = AmbientSetting::decode(param.subspan(3, 4));
    if (!ambient) return std::nullopt;
    return AllFunctionSettingsPart2{
        .microphoneVolume = *MicrophoneVolume::decode(param.subspan(0, 3)),
        .ambient = *ambient,
        .ncToggle = *NCToggleSetting::decode(param.subspan(7, 3)),
    };
}

std::optional<AllFunctionSettingsPart3> AllFunctionSettingsPart3::decode(ByteView param) {
    if (param.size() < 7) return std::nullopt;
    return AllFunctionSettingsPart3{
        .ncStartupMode = param[0],
        .btStatus = param[1],
        .btConnectionStatus = param[2],
        .btSoundQuality = param[3],
        .btStartupMode = param[4],
        .autoPowerOff = fromRaw<AutoPowerOff>(param[5]),
        .led = LEDSetting{param[6] != 0},
    };
}

}  // namespace avrane
