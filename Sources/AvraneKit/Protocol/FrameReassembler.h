#pragma once

#include <cstddef>
#include <vector>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// Cuts the serial byte stream back into whole frames. It finds a frame start (0x01 or 0x04),
// reads the length byte, waits until the frame is complete and hands it out; it does not
// decode. Anything that cannot start a frame of at least 12 bytes is dropped one byte at a
// time. After every append the buffer is empty or holds the start of one incomplete frame.
class FrameReassembler {
public:
    // Feeds newly read bytes; returns the frames completed by them, in arrival order.
    std::vector<Bytes> append(ByteView bytes);

    // Discards everything buffered.
    void reset();

    // The bytes kept for a frame still incomplete.
    ByteView buffer() const { return ByteView(buffer_).subspan(head_); }

private:
    // Consumed bytes are skipped by advancing `head_` and removed once per append, so that
    // resynchronising over a long run of noise stays linear.
    Bytes buffer_;
    std::size_t head_ = 0;
};

}  // namespace avrane
