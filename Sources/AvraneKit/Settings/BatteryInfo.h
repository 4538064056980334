#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

// Param: status code | level.
struct BatteryInfo {
    enum class Status : std::uint8_t {
        discharging = 0,
        charging = 1,
        error = 2,
    };

    // Kept even when it is no Status case: such a code still allows a level.
    std::uint8_t statusCode = 0;
    // 0-100; absent above 100 or when the headset reports an error.
    std::optional<std::uint8_t> percent;

    bool operator==(const BatteryInfo&) const = default;

    static std::optional<BatteryInfo> decode(ByteView param);

    std::optional<Status> status() const;
    bool isCharging() const { return statusCode == static_cast<std::uint8_t>(Status::charging); }
};

template <>
struct EnumTable<BatteryInfo::Status> {
    using S = BatteryInfo::Status;
    static constexpr std::array<EnumCase<S>, 3> cases{{
        {S::discharging, "discharging"},
        {S::charging, "charging"},
        {S::error, "error"},
    }};
};

}  // namespace avrane
