#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

enum class NoiseCancellingMode : std::uint8_t {
    off = 0,
    noiseCancelling = 1,
    ambientSound = 2,
};

template <>
struct EnumTable<NoiseCancellingMode> {
    using M = NoiseCancellingMode;
    static constexpr std::array<EnumCase<M>, 3> cases{{
        {M::off, "off", "Off"},
        {M::noiseCancelling, "noiseCancelling", "Noise Cancelling"},
        {M::ambientSound, "ambientSound", "Ambient Sound"},
    }};
};

// The noise-cancelling / ambient-sound setting. The wire order differs from the field order:
// mode | ambient level | reported percent | voice-focus flag. A mode byte above 2 fails the
// whole record.
struct AmbientSetting {
    NoiseCancellingMode mode = NoiseCancellingMode::off;
    std::uint8_t ambientLevel = 0;  // the panel writes 1-20
    bool voiceFocus = false;
    std::uint8_t reportedPercent = 0;

    bool operator==(const AmbientSetting&) const = default;

    static std::optional<AmbientSetting> decode(ByteView param);
    Bytes param() const;
};

}  // namespace avrane
