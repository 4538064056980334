#pragma once

#include <string_view>

#include "AvraneKit/Support/Bytes.h"

namespace avrane::testing {

// Bytes from hex written as the wire shows them: "04 FF 0C 00". Whitespace is ignored; any
// other character, or an odd digit count, aborts the test program (a typo in a test table).
Bytes hexBytes(std::string_view text);

}  // namespace avrane::testing
