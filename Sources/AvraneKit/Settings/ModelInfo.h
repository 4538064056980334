#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

// Which headset this is. Param: modelID | destination | serial lo hi | colour | status.
struct ModelInfo {
    enum class Model : std::uint8_t {
        hdx2959 = 0,
        hdx2960 = 1,
        hdx2961 = 2,
        ghM2 = 3,
        gtw = 4,
        ghH2 = 5,
        ghIE = 6,
        ghOB = 7,
    };

    std::uint8_t modelID = 0;
    std::uint8_t destination = 0;
    std::uint16_t serialNumber = 0;
    std::uint8_t colorCode = 0;
    std::uint8_t statusCode = 0;

    bool operator==(const ModelInfo&) const = default;

    // Nothing below 6 bytes; no field is validated.
    static std::optional<ModelInfo> decode(ByteView param);

    std::optional<Model> model() const;
    // The model's display name, or "unknown model 0xNN".
    std::string deviceName() const;
    // The model number, or "-".
    std::string modelCode() const;
};

// Display name and model number of each model.
std::string_view deviceName(ModelInfo::Model model);
std::string_view modelCode(ModelInfo::Model model);

template <>
struct EnumTable<ModelInfo::Model> {
    using M = ModelInfo::Model;
    static constexpr std::array<EnumCase<M>, 8> cases{{
        {M::hdx2959, "hdx2959"},
        {M::hdx2960, "hdx2960"},
        {M::hdx2961, "hdx2961"},
        {M::ghM2, "ghM2"},
        {M::gtw, "gtw"},
        {M::ghH2, "ghH2"},
        {M::ghIE, "ghIE"},
        {M::ghOB, "ghOB"},
    }};
};

}  // namespace avrane
