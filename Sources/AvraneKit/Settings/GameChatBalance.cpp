#include "AvraneKit/Settings/GameChatBalance.h"

#include <algorithm>
#include <cmath>

namespace avrane {

GameChatBalance GameChatBalance::fromUIValue(double uiValue) {
    if (std::isnan(uiValue)) return GameChatBalance{};
    // std::round rounds halves away from zero; clamp before converting so that huge or
    // infinite inputs cannot overflow.
    const double steps = std::clamp(std::round(uiValue * 10.0) + 50.0, 0.0, 100.0);
    return GameChatBalance(static_cast<std::uint8_t>(steps));
}

std::optional<GameChatBalance> GameChatBalance::decode(ByteView param) {
    if (param.empty()) return std::nullopt;
    return GameChatBalance(param[0]);
}

}  // namespace avrane
