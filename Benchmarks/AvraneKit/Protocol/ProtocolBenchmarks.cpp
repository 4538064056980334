// Throughput of the frame codec and the reassembler. For scale: the serial link carries about
// 46 000 bytes per second (460800 baud), roughly 3 800 of the smallest frames.
#include <benchmark/benchmark.h>

#include <random>

#include "AvraneKit/Protocol/FrameReassembler.h"
#include "AvraneKit/Protocol/Packet.h"

namespace {

using namespace avrane;

Bytes notificationFrame(std::uint16_t tid) {
    return Packet{PacketType::event, Address::receiver, Address::pc, EventID::batteryInfo,
                  EventType::ntfy, tid, Bytes{0x00, 0x50}}
        .encoded();
}

void BM_DecodeFrame(benchmark::State& state) {
    const Bytes frame = notificationFrame(42);
    for (auto _ : state) {
        auto packet = Packet::decode(frame);
        benchmark::DoNotOptimize(packet);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame.size()));
}
BENCHMARK(BM_DecodeFrame);

void BM_EncodeRequest(benchmark::State& state) {
    for (auto _ : state) {
        auto frame = Packet::command(EventID::headphoneVolume, EventType::set, 7, {0, 15, 50}).encoded();
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeRequest);

// A stream of valid frames fed in reads of the given size.
void BM_ReassembleValidStream(benchmark::State& state) {
    Bytes stream;
    for (std::uint16_t i = 0; stream.size() < (1u << 20); ++i) {
        const Bytes frame = notificationFrame(i);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    const auto piece = static_cast<std::size_t>(state.range(0));
    std::size_t frames = 0;
    for (auto _ : state) {
        FrameReassembler reassembler;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            frames += reassembler.append(ByteView(stream).subspan(at, std::min(piece, stream.size() - at))).size();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReassembleValidStream)->Arg(64)->Arg(1024);

// 1 MiB of bytes that never start a frame, in one append: resynchronisation must stay linear.
void BM_ReassembleNoise(benchmark::State& state) {
    std::mt19937 random(3);
    Bytes noise(static_cast<std::size_t>(state.range(0)));
    for (auto& byte : noise) {
        do byte = static_cast<std::uint8_t>(random());
        while (byte == 0x01 || byte == 0x04);
    }
    for (auto _ : state) {
        FrameReassembler reassembler;
        auto frames = reassembler.append(noise);
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReassembleNoise)->RangeMultiplier(4)->Range(1 << 14, 1 << 20)->Complexity();

// Noise made of short plausible-looking headers (0x04 0xFF 0x05): every start byte is examined
// and rejected, the worst case for resynchronisation.
void BM_ReassembleShortHeaders(benchmark::State& state) {
    Bytes noise;
    while (noise.size() < (1u << 20)) noise.insert(noise.end(), {0x04, 0xFF, 0x05});
    for (auto _ : state) {
        FrameReassembler reassembler;
        auto frames = reassembler.append(noise);
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(noise.size()));
}
BENCHMARK(BM_ReassembleShortHeaders);

}  // namespace

BENCHMARK_MAIN();
