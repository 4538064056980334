#pragma once

#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {
namespace detail {

// Headphone and microphone volume share fields, layout and rules.
// Param: muted flag | level | reported percent. No range check.
template <class Tag>
struct MutableLevel {
    bool isMuted = false;
    std::uint8_t level = 0;  // the headset's step; the panel writes 0-30 for the headphones
    std::uint8_t reportedPercent = 0;  // the headset's own percentage for that step

    bool operator==(const MutableLevel&) const = default;

    static std::optional<MutableLevel> decode(ByteView param) {
        if (param.size() < 3) return std::nullopt;
        return MutableLevel{param[0] != 0, param[1], param[2]};
    }

    Bytes param() const { return {wireFlag(isMuted), level, reportedPercent}; }
};

}  // namespace detail

using HeadphoneVolume = detail::MutableLevel<struct HeadphoneVolumeTag>;
using MicrophoneVolume = detail::MutableLevel<struct MicrophoneVolumeTag>;

// Param: level | reported percent. The panel writes levels 0-10.
struct SidetoneVolume {
    std::uint8_t level = 0;
    std::uint8_t reportedPercent = 0;

    bool operator==(const SidetoneVolume&) const = default;

    static std::optional<SidetoneVolume> decode(ByteView param) {
        if (param.size() < 2) return std::nullopt;
        return SidetoneVolume{param[0], param[1]};
    }

    Bytes param() const { return {level, reportedPercent}; }
};

}  // namespace avrane
