#pragma once

#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// Which modes the headset's noise-cancelling button cycles through. Param: one byte per
// flag (not bits of one byte): off | noise cancelling | ambient sound.
struct NCToggleSetting {
    bool includesOff = false;
    bool includesNoiseCancelling = false;
    bool includesAmbientSound = false;

    bool operator==(const NCToggleSetting&) const = default;

    static std::optional<NCToggleSetting> decode(ByteView param) {
        if (param.size() < 3) return std::nullopt;
        return NCToggleSetting{param[0] != 0, param[1] != 0, param[2] != 0};
    }

    Bytes param() const {
        return {wireFlag(includesOff), wireFlag(includesNoiseCancelling),
                wireFlag(includesAmbientSound)};
    }
};

}  // namespace avrane
