#include <gtest/gtest.h>

#include <random>

#include "AvraneKit/Protocol/FrameReassembler.h"
#include "AvraneKit/Protocol/Packet.h"
#include "Support/HexBytes.h"

namespace avrane {
namespace {

using testing::hexBytes;

const Bytes volumeReply = hexBytes("04 FF 0C 00 96 C3 14 21 10 05 00 00 0F 32 E4");
const Bytes volumeRequest = hexBytes("01 00 FC 08 96 C3 41 21 01 05 00 C1");

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(FrameReassemblerTest, CutsWholeFramesAndKeepsTheRest) {
    struct Row {
        const char* name;
        Bytes input;
        std::vector<Bytes> frames;
        Bytes kept;
    };
    const Row rows[] = {
        {"header announcing fewer than 12 bytes", hexBytes("04 FF 05"), {}, {}},
        {"incomplete command header waits", hexBytes("01 00 FC"), {}, hexBytes("01 00 FC")},
        {"lone event start waits", hexBytes("04 FF"), {}, hexBytes("04 FF")},
        {"short header then a frame", concat({hexBytes("04 FF 05"), volumeRequest}), {volumeRequest}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FrameReassembler reassembler;
        EXPECT_EQ(reassembler.append(row.input), row.frames);
        EXPECT_EQ(Bytes(reassembler.buffer().begin(), reassembler.buffer().end()), row.kept);
    }
}

TEST(FrameReassemblerTest, PlausibleHeaderIsTrustedUntilItsLengthArrives) {
    // A stray command header announcing 16 bytes swallows most of the next
    // frame; that cut fails its checksum, and the frame after it is cut normally.
    FrameReassembler reassembler;
    const Bytes stray = hexBytes("01 00 00 0C");
    const auto frames = reassembler.append(concat({stray, volumeReply, volumeRequest}));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(Packet::decode(frames[0]));
    EXPECT_EQ(frames[1], volumeRequest);
}

TEST(FrameReassemblerTest, ResetDropsAHalfFrame) {
    FrameReassembler reassembler;
    const ByteView reply(volumeReply);
    EXPECT_TRUE(reassembler.append(reply.first(7)).empty());
    reassembler.reset();
    EXPECT_TRUE(reassembler.buffer().empty());
    EXPECT_TRUE(reassembler.append(reply.subspan(7)).empty());
    EXPECT_EQ(reassembler.append(volumeRequest), std::vector<Bytes>{volumeRequest});
}

// Noise that cannot start a frame: any byte but 0x01 and 0x04.
std::uint8_t noiseByte(std::mt19937& random) {
    for (;;) {
        const auto byte = static_cast<std::uint8_t>(random());
        if (byte != 0x01 && byte != 0x04) return byte;
    }
}

TEST(FrameReassemblerTest, RandomStreamCutAnywhereComesOutWholeAndInOrder) {
    std::mt19937 random(7);
    const auto ids = allCases<EventID>();
    for (int round = 0; round < 50; ++round) {
        std::vector<Bytes> sent;
        Bytes stream;
        for (int i = 0; i < 40; ++i) {
            for (int n = random() % 4; n > 0; --n) stream.push_back(noiseByte(random));
            Packet packet{random() % 2 ? PacketType::event : PacketType::command,
                          Address::receiver, Address::pc, ids[random() % ids.size()],
                          EventType::ntfy, static_cast<std::uint16_t>(random()), {}};
            packet.param.resize(random() % 40);
            for (auto& byte : packet.param) byte = static_cast<std::uint8_t>(random());
            sent.push_back(packet.encoded());
            stream.insert(stream.end(), sent.back().begin(), sent.back().end());
        }

        FrameReassembler reassembler;
        std::vector<Bytes> received;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t piece = std::min<std::size_t>(1 + random() % 50, stream.size() - at);
            for (auto& frame : reassembler.append(ByteView(stream).subspan(at, piece))) {
                received.push_back(std::move(frame));
            }
            at += piece;
            ASSERT_LE(reassembler.buffer().size(), 258u);
        }
        ASSERT_EQ(received, sent) << "round " << round;
        EXPECT_TRUE(reassembler.buffer().empty());
    }
}

TEST(FrameReassemblerTest, LongNoiseRunIsDiscardedAndTheFollowingFrameCut) {
    std::mt19937 random(11);
    Bytes noise(1 << 20);
    for (auto& byte : noise) byte = noiseByte(random);
    FrameReassembler reassembler;
    EXPECT_TRUE(reassembler.append(noise).empty());
    EXPECT_TRUE(reassembler.buffer().empty());
    EXPECT_EQ(reassembler.append(volumeReply), std::vector<Bytes>{volumeReply});
}

}  // namespace
}  // namespace avrane
