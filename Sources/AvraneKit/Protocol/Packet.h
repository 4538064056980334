#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Protocol/HeaderFields.h"
#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/Expected.h"

namespace avrane {

// One protocol frame. On the wire (n = param length, multi-byte fields little-endian):
//
//   command: 01 | 00 FC | n+8 | 96 C3 | dst<<4|src | id | type | tid lo hi | param | sum
//   event:   04 | FF | n+9 | 00 | 96 C3 | dst<<4|src | id | type | tid lo hi | param | sum
//
// The two kinds differ only in bytes 1-3. The checksum is the 8-bit sum of everything after
// the HCI header (from offset 4 for a command, 3 for an event) up to the checksum byte.
struct Packet {
    class DecodeError;
    class EncodeError;

    PacketType type = PacketType::command;
    Address source = Address::pc;
    Address destination = Address::receiver;
    EventID eventID = EventID::connectStatus2GHz;
    EventType eventType = EventType::get;
    std::uint16_t transactionID = 0;
    Bytes param;

    bool operator==(const Packet&) const = default;

    static constexpr std::size_t minimumFrameLength = 12;
    // The length byte counts the bytes after it, so it caps the param.
    static constexpr std::size_t maximumParamLength(PacketType type) {
        return type == PacketType::event ? 246 : 247;
    }

    // A request from this program: a command from `pc`, addressed to the dongle for the items
    // that live on it and to the headset for everything else.
    static Packet command(EventID eventID, EventType eventType, std::uint16_t transactionID,
                          Bytes param = {});

    // The frame bytes. Throws EncodeError when the param does not fit the length byte.
    Bytes encoded() const;

    // Decodes exactly one whole frame, as cut by the reassembler. Checks, in order: length,
    // packet type, checksum, source nibble, destination nibble, event id, event type. Bytes
    // 1-5 (opcode or event code, length, marker) are not compared with the template.
    static Expected<Packet, DecodeError> decode(ByteView frame);

    // The checksum rule applied to a whole frame buffer; its last byte is excluded.
    static std::uint8_t checksum(ByteView frame, PacketType type);

    // Total frame length announced by a header that starts at `bytes`, or nothing when the
    // header is incomplete or the first byte starts no frame. Applies no minimum.
    static std::optional<std::size_t> frameLength(ByteView bytes);
};

class Packet::DecodeError {
public:
    enum class Kind {
        tooShort,
        unknownPacketType,
        unknownEventID,
        unknownEventType,
        unknownAddress,
        badChecksum,
    };

    static DecodeError tooShort(int length) { return {Kind::tooShort, length, 0, 0}; }
    static DecodeError unknownPacketType(std::uint8_t byte) { return {Kind::unknownPacketType, 0, byte, 0}; }
    static DecodeError unknownEventID(std::uint8_t byte) { return {Kind::unknownEventID, 0, byte, 0}; }
    static DecodeError unknownEventType(std::uint8_t byte) { return {Kind::unknownEventType, 0, byte, 0}; }
    static DecodeError unknownAddress(std::uint8_t nibble) { return {Kind::unknownAddress, 0, nibble, 0}; }
    static DecodeError badChecksum(std::uint8_t expected, std::uint8_t found) {
        return {Kind::badChecksum, 0, expected, found};
    }

    Kind kind() const { return kind_; }
    // tooShort: the frame's length.
    int length() const { return length_; }
    // unknownPacketType, unknownEventID, unknownEventType: the byte; unknownAddress: the nibble.
    std::uint8_t value() const { return value_; }
    // badChecksum: the sum computed here, and the frame's last byte.
    std::uint8_t expected() const { return value_; }
    std::uint8_t found() const { return found_; }

    std::string description() const;

    bool operator==(const DecodeError&) const = default;

private:
    DecodeError(Kind kind, int length, std::uint8_t value, std::uint8_t found)
        : kind_(kind), length_(length), value_(value), found_(found) {}

    Kind kind_;
    int length_;
    std::uint8_t value_;
    std::uint8_t found_;
};

// A param longer than the frame's length byte can announce. No request of the program comes
// near it; it guards raw requests built from outside input.
class Packet::EncodeError : public std::length_error {
public:
    EncodeError(PacketType type, std::size_t paramLength);

    PacketType type() const { return type_; }
    std::size_t paramLength() const { return paramLength_; }
    std::string description() const { return what(); }

private:
    PacketType type_;
    std::size_t paramLength_;
};

}  // namespace avrane
