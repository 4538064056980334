#include "AvraneKit/Protocol/Packet.h"

#include <cstdio>

namespace avrane {
namespace {

constexpr std::uint8_t markerHigh = 0x96;
constexpr std::uint8_t markerLow = 0xC3;

// Offset of the first byte the checksum covers.
constexpr std::size_t checksumStart(PacketType type) {
    return type == PacketType::event ? 3 : 4;
}

std::string formatByte(const char* format, unsigned value) {
    char text[80];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

Packet Packet::command(EventID eventID, EventType eventType, std::uint16_t transactionID,
                       Bytes param) {
    return Packet{
        .type = PacketType::command,
        .source = Address::pc,
        .destination = livesOnTransmitter(eventID) ? Address::transmitter : Address::receiver,
        .eventID = eventID,
        .eventType = eventType,
        .transactionID = transactionID,
        .param = std::move(param),
    };
}

Bytes Packet::encoded() const {
    const std::size_t n = param.size();
    if (n > maximumParamLength(type)) throw EncodeError(type, n);

    Bytes frame(n + minimumFrameLength, 0);
    frame[0] = rawValue(type);
    if (type == PacketType::event) {
        frame[1] = 0xFF;
        frame[2] = static_cast<std::uint8_t>(n + 9);
        frame[3] = 0x00;
    } else {
        frame[1] = 0x00;
        frame[2] = 0xFC;
        frame[3] = static_cast<std::uint8_t>(n + 8);
    }
    frame[4] = markerHigh;
    frame[5] = markerLow;
    frame[6] = static_cast<std::uint8_t>((rawValue(destination) << 4) | rawValue(source));
    frame[7] = rawValue(eventID);
    frame[8] = rawValue(eventType);
    frame[9] = static_cast<std::uint8_t>(transactionID & 0xFF);
    frame[10] = static_cast<std::uint8_t>(transactionID >> 8);
    std::copy(param.begin(), param.end(), frame.begin() + 11);
    frame.back() = checksum(frame, type);
    return frame;
}

Expected<Packet, Packet::DecodeError> Packet::decode(ByteView frame) {
    if (frame.size() < minimumFrameLength) {
        return DecodeError::tooShort(static_cast<int>(frame.size()));
    }
    const auto type = fromRaw<PacketType>(frame[0]);
    if (!type) return DecodeError::unknownPacketType(frame[0]);

    const std::uint8_t expected = checksum(frame, *type);
    if (expected != frame.back()) return DecodeError::badChecksum(expected, frame.back());

    const auto source = fromRaw<Address>(frame[6] & 0x0F);
    if (!source) return DecodeError::unknownAddress(frame[6] & 0x0F);
    const auto destination = fromRaw<Address>(frame[6] >> 4);
    if (!destination) return DecodeError::unknownAddress(frame[6] >> 4);

    const auto eventID = fromRaw<EventID>(frame[7]);
    if (!eventID) return DecodeError::unknownEventID(frame[7]);
    const auto eventType = fromRaw<EventType>(frame[8]);
    if (!eventType) return DecodeError::unknownEventType(frame[8]);

    return Packet{
        .type = *type,
        .source = *source,
        .destination = *destination,
        .eventID = *eventID,
        .eventType = *eventType,
        .transactionID = static_cast<std::uint16_t>(frame[9] | (frame[10] << 8)),
        .param = Bytes(frame.begin() + 11, frame.end() - 1),
    };
}

std::uint8_t Packet::checksum(ByteView frame, PacketType type) {
    std::uint8_t sum = 0;
    if (frame.empty()) return sum;
    for (std::size_t i = checksumStart(type); i + 1 < frame.size(); ++i) {
        sum = static_cast<std::uint8_t>(sum + frame[i]);
    }
    return sum;
}

std::optional<std::size_t> Packet::frameLength(ByteView bytes) {
    if (bytes.empty()) return std::nullopt;
    switch (bytes[0]) {
        case rawValue(PacketType::command):
            if (bytes.size() < 4) return std::nullopt;
            return 4 + std::size_t{bytes[3]};
        case rawValue(PacketType::event):
            if (bytes.size() < 3) return std::nullopt;
            return 3 + std::size_t{bytes[2]};
        default:
            return std::nullopt;
    }
}

std::string Packet::DecodeError::description() const {
    switch (kind_) {
        case Kind::tooShort:
            return "frame too short (" + std::to_string(length_) + " bytes)";
        case Kind::unknownPacketType:
            return formatByte("unknown packet type 0x%02X", value_);
        case Kind::unknownEventID:
            return formatByte("unknown event id 0x%02X", value_);
        case Kind::unknownEventType:
            return formatByte("unknown event type 0x%02X", value_);
        case Kind::unknownAddress:
            return formatByte("unknown address nibble 0x%02X", value_);
        case Kind::badChecksum: {
            char text[64];
            std::snprintf(text, sizeof text, "checksum mismatch (expected 0x%02X, found 0x%02X)",
                          unsigned{value_}, unsigned{found_});
            return text;
        }
    }
    return {};
}

Packet::EncodeError::EncodeError(PacketType type, std::size_t paramLength)
    : std::length_error("param of " + std::to_string(paramLength) + " bytes does not fit in " +
                        (type == PacketType::event ? "an event" : "a command") +
                        " frame (at most " + std::to_string(maximumParamLength(type)) +
                        " bytes)"),
      type_(type),
      paramLength_(paramLength) {}

}  // namespace avrane
