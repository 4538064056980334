#include <gtest/gtest.h>

#include <random>

#include "AvraneKit/Protocol/Packet.h"
#include "Support/HexBytes.h"

namespace avrane {
namespace {

using testing::hexBytes;
using Kind = Packet::DecodeError::Kind;

struct GoldenFrame {
    const char* name;
    const char* wire;
    Packet packet;
};

const GoldenFrame goldenFrames[] = {
    {"get headphoneVolume", "01 00 FC 08 96 C3 41 21 01 05 00 C1",
     Packet::command(EventID::headphoneVolume, EventType::get, 5)},
    {"ret headphoneVolume", "04 FF 0C 00 96 C3 14 21 10 05 00 00 0F 32 E4",
     Packet{PacketType::event, Address::receiver, Address::pc, EventID::headphoneVolume,
            EventType::ret, 5, hexBytes("00 0F 32")}},
    {"get connectStatus2GHz", "01 00 FC 08 96 C3 21 01 01 00 01 7D",
     Packet::command(EventID::connectStatus2GHz, EventType::get, 0x0100)},
};

TEST(PacketTest, GoldenFramesEncodeAndDecode) {
    for (const auto& row : goldenFrames) {
        SCOPED_TRACE(row.name);
        const Bytes wire = hexBytes(row.wire);
        EXPECT_EQ(hexDump(row.packet.encoded()), hexDump(wire));
        const auto decoded = Packet::decode(wire);
        ASSERT_TRUE(decoded) << decoded.error().description();
        EXPECT_EQ(*decoded, row.packet);
    }
}

// Frames with a correct checksum but one bad field; the first failing check names it.
struct BadFrame {
    const char* name;
    const char* wireWithoutChecksum;  // the checksum byte is appended by the test
    Kind kind;
    std::uint8_t value;
    const char* description;
};

Bytes withChecksum(const char* hex) {
    Bytes frame = hexBytes(hex);
    frame.push_back(0);
    frame.back() = Packet::checksum(frame, frame[0] == 0x04 ? PacketType::event : PacketType::command);
    return frame;
}

TEST(PacketTest, DecodeChecksHeaderFieldsInOrder) {
    const BadFrame rows[] = {
        {"source nibble before destination", "01 00 FC 08 96 C3 00 21 01 05 00",
         Kind::unknownAddress, 0x00, "unknown address nibble 0x00"},
        {"address before event id", "01 00 FC 08 96 C3 51 00 01 05 00", Kind::unknownAddress, 0x05,
         "unknown address nibble 0x05"},
        {"event id 0xA1 before event type", "01 00 FC 08 96 C3 41 A1 00 05 00",
         Kind::unknownEventID, 0xA1, "unknown event id 0xA1"},
        {"event type 0x00", "01 00 FC 08 96 C3 41 21 00 05 00", Kind::unknownEventType, 0x00,
         "unknown event type 0x00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = Packet::decode(withChecksum(row.wireWithoutChecksum));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind(), row.kind);
        EXPECT_EQ(result.error().value(), row.value);
        EXPECT_EQ(result.error().description(), row.description);
    }
}

TEST(PacketTest, LengthTypeAndChecksumComeBeforeEverythingElse) {
    EXPECT_EQ(Packet::decode(hexBytes("01 00 FC 08 96 C3 41 21 01 05 00")).error(), Packet::DecodeError::tooShort(11));
    EXPECT_EQ(Packet::decode(Bytes{}).error(), Packet::DecodeError::tooShort(0));

    // The packet type is judged on byte 0 alone, whatever follows.
    const auto badType = Packet::decode(hexBytes("02 00 00 00 00 00 00 00 00 00 00 00"));
    ASSERT_FALSE(badType);
    EXPECT_EQ(badType.error().description(), "unknown packet type 0x02");

    // A wrong checksum wins over an invalid address, event id and event type.
    const auto badEverything = Packet::decode(hexBytes("01 00 FC 08 96 C3 00 00 00 05 00 00"));
    ASSERT_FALSE(badEverything);
    EXPECT_EQ(badEverything.error().kind(), Kind::badChecksum);

    EXPECT_EQ(Packet::decode(hexBytes("01 00 FC 08 96 C3 41 21 01 05 00 00")).error(),
              Packet::DecodeError::badChecksum(0xC1, 0x00));
}

TEST(PacketTest, DecoderIgnoresMarkerAndLengthAndAcceptsOddAddresses) {
    // Marker bytes 00 00 and a wrong length byte: still a frame when the sum is right.
    const auto decoded = Packet::decode(withChecksum("04 FF 55 00 00 00 44 04 20 07 00 01 32"));
    ASSERT_TRUE(decoded) << decoded.error().description();
    EXPECT_EQ(decoded->destination, Address::receiver);  // the headset to itself
    EXPECT_EQ(decoded->param, hexBytes("01 32"));

    const auto empty = Packet::decode(withChecksum("01 00 FC 08 96 C3 41 04 01 FF FF"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->param.empty());
    EXPECT_EQ(empty->transactionID, 0xFFFF);
}

TEST(PacketTest, ChecksumAndFrameLengthOnShortBuffers) {
    EXPECT_EQ(Packet::checksum(Bytes{}, PacketType::event), 0);
    EXPECT_EQ(Packet::checksum(hexBytes("01 00 FC 08 96"), PacketType::command), 0);
    EXPECT_EQ(Packet::frameLength(hexBytes("04 FF 0C")), 15u);
    EXPECT_EQ(Packet::frameLength(hexBytes("01 00 FC")), std::nullopt);
    EXPECT_EQ(Packet::frameLength(hexBytes("02 00 FC 08")), std::nullopt);
}

TEST(PacketTest, EncoderRefusesParamsTheLengthByteCannotCarry) {
    Packet event{PacketType::event, Address::receiver, Address::pc, EventID::impressData,
                 EventType::ret, 1, Bytes(246, 0xAB)};
    EXPECT_EQ(event.encoded().size(), 258u);
    event.param.push_back(0);
    EXPECT_THROW(event.encoded(), Packet::EncodeError);

    Packet command = Packet::command(EventID::impressData, EventType::set, 1, Bytes(247, 0x01));
    const Bytes longest = command.encoded();
    EXPECT_EQ(longest.size(), 259u);
    EXPECT_EQ(longest[3], 0xFF);
    command.param.push_back(0);
    EXPECT_THROW(command.encoded(), Packet::EncodeError);
}

TEST(PacketTest, RandomPacketsRoundTrip) {
    std::mt19937 random(20261206);
    const auto ids = allCases<EventID>();
    const auto types = allCases<EventType>();
    const auto addresses = allCases<Address>();
    for (int i = 0; i < 5000; ++i) {
        Packet packet;
        packet.type = random() % 2 ? PacketType::event : PacketType::command;
        packet.source = addresses[random() % addresses.size()];
        packet.destination = addresses[random() % addresses.size()];
        packet.eventID = ids[random() % ids.size()];
        packet.eventType = types[random() % types.size()];
        packet.transactionID = static_cast<std::uint16_t>(random());
        packet.param.resize(random() % (Packet::maximumParamLength(packet.type) + 1));
        for (auto& byte : packet.param) byte = static_cast<std::uint8_t>(random());

        const auto decoded = Packet::decode(packet.encoded());
        ASSERT_TRUE(decoded) << decoded.error().description();
        ASSERT_EQ(*decoded, packet) << hexDump(packet.encoded());
    }
}

}  // namespace
}  // namespace avrane
