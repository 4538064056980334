#include "AvraneKit/Settings/FirmwareVersion.h"

#include <cstdio>

namespace avrane {
namespace {

FirmwareVersion::Version unpack(ByteView group) {
    return {
        .major = group[0],
        .minor = static_cast<std::uint16_t>(group[1] | ((group[2] & 0x0F) << 8)),
        .build = static_cast<std::uint16_t>((group[2] >> 4) | (group[3] << 4)),
    };
}

}  // namespace

std::string FirmwareVersion::Version::text() const {
    char majorText[8] = "--";
    char minorText[8] = "---";
    char buildText[8] = "---";
    if (major < 100) std::snprintf(majorText, sizeof majorText, "%02d", int{major});
    if (minor < 1000) std::snprintf(minorText, sizeof minorText, "%03d", int{minor});
    if (build < 1000) std::snprintf(buildText, sizeof buildText, "%03d", int{build});
    return std::string(majorText) + "." + minorText + "." + buildText;
}

std::optional<FirmwareVersion> FirmwareVersion::decode(ByteView param) {
    if (param.size() < 8) return std::nullopt;
    return FirmwareVersion{unpack(param.subspan(0, 4)), unpack(param.subspan(4, 4))};
}

}  // namespace avrane
