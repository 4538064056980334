#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "AvraneKit/Settings/Payload.h"
#include "Support/HexBytes.h"

namespace avrane::testing {

// One golden row: a param as the wire shows it and the record it decodes to (nothing when the
// decoder must refuse it).
template <class T>
struct PayloadRow {
    const char* name;
    const char* param;
    std::optional<T> expected;
    // Whether encoding the decoded record must give the param back byte for byte (false for
    // rows with surplus bytes or non-canonical flag bytes).
    bool roundTrips = true;
};

template <class T>
void checkRows(const std::vector<PayloadRow<T>>& rows) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes param = hexBytes(row.param);
        const auto decoded = decodePayload<T>(param);
        ASSERT_EQ(decoded.has_value(), row.expected.has_value());
        if (!decoded) continue;
        EXPECT_TRUE(*decoded == *row.expected);
        if constexpr (EncodablePayload<T>) {
            if (row.roundTrips) {
                EXPECT_EQ(hexDump(encodePayload(*decoded)), hexDump(param));
            }
        }
    }
}

}  // namespace avrane::testing
