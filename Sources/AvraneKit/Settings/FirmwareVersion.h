#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// Firmware of headset and dongle. Param: 4 bytes each, headset first; each group is one
// little-endian word with major in bits 0-7, minor in bits 8-19 and build in bits 20-31.
struct FirmwareVersion {
    struct Version {
        std::uint8_t major = 0;
        std::uint16_t minor = 0;  // 12 bits on the wire
        std::uint16_t build = 0;  // 12 bits on the wire

        bool operator==(const Version&) const = default;

        // "02.001.005"; a field too wide for its columns shows as dashes ("--.---.012").
        std::string text() const;
    };

    Version headset;
    Version dongle;

    bool operator==(const FirmwareVersion&) const = default;

    // Nothing below 8 bytes.
    static std::optional<FirmwareVersion> decode(ByteView param);
};

}  // namespace avrane
