#pragma once

#include <array>
#include <cstdint>

#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

// First byte of a frame: the HCI packet indicator.
enum class PacketType : std::uint8_t {
    command = 0x01,  // computer to dongle (HCI command, vendor opcode 0xFC00)
    event = 0x04,    // dongle to computer (HCI event, vendor event code 0xFF)
};

// One nibble each for source and destination in the frame's address byte.
enum class Address : std::uint8_t {
    pc = 0x1,
    transmitter = 0x2,  // the USB dongle
    receiver = 0x4,     // the headset
};

enum class EventType : std::uint8_t {
    get = 0x01,
    set = 0x02,
    ret = 0x10,
    ntfy = 0x20,
    ntfyActive = 0xA0,  // a second notification type with the same param as ntfy
};

template <>
struct EnumTable<PacketType> {
    static constexpr std::array<EnumCase<PacketType>, 2> cases{{
        {PacketType::command, "command"},
        {PacketType::event, "event"},
    }};
};

template <>
struct EnumTable<Address> {
    static constexpr std::array<EnumCase<Address>, 3> cases{{
        {Address::pc, "pc"},
        {Address::transmitter, "transmitter"},
        {Address::receiver, "receiver"},
    }};
};

template <>
struct EnumTable<EventType> {
    static constexpr std::array<EnumCase<EventType>, 5> cases{{
        {EventType::get, "get"},
        {EventType::set, "set"},
        {EventType::ret, "ret"},
        {EventType::ntfy, "ntfy"},
        {EventType::ntfyActive, "ntfyActive"},
    }};
};

}  // namespace avrane
