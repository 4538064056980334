#pragma once

#include <concepts>
#include <optional>
#include <type_traits>

#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

// Decoders and encoders of every payload type under one name, so that callers (the client's
// typed operations, the simulator) can be written once for all of them.
//
// Records are structs with `static std::optional<T> decode(ByteView)` and `Bytes param()`.
// A one-byte setting that is an enumeration reads its first param byte as the raw value
// (nothing when the param is empty or the byte is outside the table; surplus ignored) and
// writes its raw value as a one-byte param.
template <class T>
std::optional<T> decodePayload(ByteView param) {
    if constexpr (std::is_enum_v<T>) {
        if (param.empty()) return std::nullopt;
        return fromRaw<T>(param[0]);
    } else {
        return T::decode(param);
    }
}

// Read-only records (device information, bulk parts) have no encoder.
template <class T>
concept EncodablePayload = std::is_enum_v<T> || requires(const T& value) {
    { value.param() } -> std::same_as<Bytes>;
};

template <EncodablePayload T>
Bytes encodePayload(const T& value) {
    if constexpr (std::is_enum_v<T>) {
        return Bytes{rawValue(value)};
    } else {
        return value.param();
    }
}

}  // namespace avrane
