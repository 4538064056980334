#include <cstddef>
#include <cstdint>

#include "AvraneBar/Panel/SwayIpc.h"

// Whatever comes down sway's IPC socket, in pieces of any size: the first byte picks where the
// stream is cut. Whole messages come out in order, each within the bound, and what they carry
// is read as replies and events are.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype cut = stream.isEmpty() ? 0 : data[0] % (stream.size() + 1);
    avrane::sway::MessageReader reader;
    qsizetype consumed = 0;
    for (const QByteArray& piece : {stream.left(cut), stream.mid(cut)}) {
        reader.feed(piece);
        while (const auto message = reader.next()) {
            if (message->payload.size() > qsizetype(avrane::sway::MessageReader::maximumPayload)) __builtin_trap();
            consumed += 14 + message->payload.size();
            if (consumed > stream.size()) __builtin_trap();
            avrane::sway::focusedAreas(message->payload, message->payload);
            avrane::sway::newWindowOf(message->payload, 1);
        }
    }
    return 0;
}
