#pragma once

#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// The game/chat mix, 0-100 with 50 at the centre; below 50 leans to game audio. Param: one
// byte, a byte above 100 reading as 100.
struct GameChatBalance {
    std::uint8_t rawValue = 50;

    GameChatBalance() = default;
    // Never fails: clamps to at most 100.
    explicit GameChatBalance(std::uint8_t raw) : rawValue(raw > 100 ? 100 : raw) {}

    // From a slider value in -5.0 ... 5.0: ten steps per unit, halves rounded away from zero,
    // clamped to 0-100.
    static GameChatBalance fromUIValue(double uiValue);

    bool operator==(const GameChatBalance&) const = default;

    static std::optional<GameChatBalance> decode(ByteView param);
    Bytes param() const { return {rawValue}; }

    // The slider value: (rawValue - 50) / 10.
    double uiValue() const { return (static_cast<double>(rawValue) - 50.0) / 10.0; }
};

}  // namespace avrane
