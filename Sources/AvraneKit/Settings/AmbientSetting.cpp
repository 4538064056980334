#include "AvraneKit/Settings/AmbientSetting.h"

namespace avrane {

std::optional<AmbientSetting> AmbientSetting::decode(ByteView param) {
    if (param.size() < 4) return std::nullopt;
    const auto mode = fromRaw<NoiseCancellingMode>(param[0]);
    if (!mode) return std::nullopt;
    return AmbientSetting{
        .mode = *mode,
        .ambientLevel = param[1],
        .voiceFocus = param[3] != 0,
        .reportedPercent = param[2],
    };
}

Bytes AmbientSetting::param() const {
    return {rawValue(mode), ambientLevel, reportedPercent, wireFlag(voiceFocus)};
}

}  // namespace avrane
