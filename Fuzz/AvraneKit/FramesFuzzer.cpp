// Arbitrary bytes from the serial line: cut into frames in pieces of varying size, every
// frame decoded, every param run through every payload decoder. A decoded packet must
// encode back to the very frame it came from, and the reassembler must keep its bound.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "AvraneKit/Protocol/FrameReassembler.h"
#include "AvraneKit/Protocol/Packet.h"
#include "AvraneKit/Settings/AllFunctionSettings.h"
#include "AvraneKit/Settings/BluetoothStatus.h"
#include "AvraneKit/Settings/FirmwareVersion.h"
#include "AvraneKit/Settings/ModelInfo.h"
#include "AvraneKit/Settings/Payload.h"

namespace {

using namespace avrane;

template <class... T>
void decodeAll(ByteView param) {
    ((void)decodePayload<T>(param), ...);
    // Derived texts read every field; they must not trip on any decoded value.
    if (const auto model = ModelInfo::decode(param)) (void)model->deviceName();
    if (const auto firmware = FirmwareVersion::decode(param)) (void)firmware->headset.text();
}

void checkFrame(const Bytes& frame) {
    const auto packet = Packet::decode(frame);
    if (!packet) {
        (void)packet.error().description();
        return;
    }
    decodeAll<ModelInfo, FirmwareVersion, BatteryInfo, BluetoothStatus, HeadphoneVolume,
              MicrophoneVolume, SidetoneVolume, GameChatBalance, AmbientSetting,
              NCToggleSetting, AutoPowerOff, LEDSetting, BluetoothSoundMode,
              BluetoothStartupMode, NoiseCancellingStartupMode, RawByteSetting,
              AllFunctionSettingsPart1, AllFunctionSettingsPart2, AllFunctionSettingsPart3>(
        packet->param);

    // The decoder ignores bytes 1-5 (which an event frame's checksum covers in part), so
    // compare the address byte up to the param's end.
    const Bytes again = packet->encoded();
    if (again.size() != frame.size() ||
        !std::equal(again.begin() + 6, again.end() - 1, frame.begin() + 6)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses how the rest is split into reads.
    const std::size_t piece = 1 + data[0] % 64;
    const ByteView stream(data + 1, size - 1);

    FrameReassembler reassembler;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const auto chunk = stream.subspan(at, std::min(piece, stream.size() - at));
        for (const auto& frame : reassembler.append(chunk)) checkFrame(frame);
        if (reassembler.buffer().size() > 258) std::abort();
    }
    return 0;
}
