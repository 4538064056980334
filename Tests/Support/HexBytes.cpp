#include "Support/HexBytes.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace avrane::testing {
namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

Bytes hexBytes(std::string_view text) {
    Bytes bytes;
    int high = -1;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        const int value = digitValue(c);
        if (value < 0) {
            std::fprintf(stderr, "bad hex in test data: \"%.*s\"\n", int(text.size()), text.data());
            std::abort();
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0) {
        std::fprintf(stderr, "odd hex digit count in test data: \"%.*s\"\n", int(text.size()), text.data());
        std::abort();
    }
    return bytes;
}

}  // namespace avrane::testing
