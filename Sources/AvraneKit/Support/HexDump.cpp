#include "AvraneKit/Support/Bytes.h"

namespace avrane {

std::string hexDump(ByteView bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    if (bytes.empty()) return text;
    text.reserve(bytes.size() * 3 - 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text.push_back(' ');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace avrane
