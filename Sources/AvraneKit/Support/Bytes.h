#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace avrane {

// Owned bytes (frames, params) and a read-only view of bytes handed in.
using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Booleans travel as one byte: written as 1 or 0, any non-zero byte reads as true.
constexpr std::uint8_t wireFlag(bool value) { return value ? 1 : 0; }

// Each byte as two upper-case hex digits, separated by single spaces: "01 AB". Used in
// error texts and trace lines.
std::string hexDump(ByteView bytes);

}  // namespace avrane
