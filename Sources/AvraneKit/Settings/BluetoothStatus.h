#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

// The headset's own Bluetooth radio. Param: power code | link code; a code outside its
// table leaves only that field absent.
struct BluetoothStatus {
    enum class Power : std::uint8_t {
        off = 0,
        on = 1,
    };
    enum class Link : std::uint8_t {
        unconnected = 0,
        connected = 1,
        pairing = 2,
    };

    std::optional<Power> power;
    std::optional<Link> link;

    bool operator==(const BluetoothStatus&) const = default;

    static std::optional<BluetoothStatus> decode(ByteView param);
};

template <>
struct EnumTable<BluetoothStatus::Power> {
    using P = BluetoothStatus::Power;
    static constexpr std::array<EnumCase<P>, 2> cases{{
        {P::off, "off"},
        {P::on, "on"},
    }};
};

template <>
struct EnumTable<BluetoothStatus::Link> {
    using L = BluetoothStatus::Link;
    static constexpr std::array<EnumCase<L>, 3> cases{{
        {L::unconnected, "unconnected"},
        {L::connected, "connected"},
        {L::pairing, "pairing"},
    }};
};

}  // namespace avrane
