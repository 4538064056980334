#include "AvraneKit/Protocol/FrameReassembler.h"

#include <algorithm>

#include "AvraneKit/Protocol/Packet.h"

namespace avrane {

std::vector<Bytes> FrameReassembler::append(ByteView bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    std::vector<Bytes> frames;

    while (head_ < buffer_.size()) {
        const ByteView pending = ByteView(buffer_).subspan(head_);
        const std::uint8_t first = pending[0];
        const bool startsFrame = first == rawValue(PacketType::command) ||
                                 first == rawValue(PacketType::event);
        if (startsFrame) {
            const auto total = Packet::frameLength(pending);
            if (!total) break;  // header incomplete: wait for more
            if (*total >= Packet::minimumFrameLength) {
                if (pending.size() < *total) break;  // frame incomplete: wait for more
                frames.emplace_back(pending.begin(), pending.begin() + *total);
                head_ += *total;
                continue;
            }
        }
        ++head_;  // resynchronise: drop exactly one byte
    }

    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
    return frames;
}

void FrameReassembler::reset() {
    buffer_.clear();
    head_ = 0;
}

}  // namespace avrane
