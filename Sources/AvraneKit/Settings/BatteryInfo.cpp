#include "AvraneKit/Settings/BatteryInfo.h"

namespace avrane {

std::optional<BatteryInfo> BatteryInfo::decode(ByteView param) {
    if (param.size() < 2) return std::nullopt;
    BatteryInfo info{.statusCode = param[0], .percent = std::nullopt};
    const bool reportsError = param[0] == rawValue(Status::error);
    if (param[1] <= 100 && !reportsError) info.percent = param[1];
    return info;
}

std::optional<BatteryInfo::Status> BatteryInfo::status() const {
    return fromRaw<Status>(statusCode);
}

}  // namespace avrane
