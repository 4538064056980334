#include <cstddef>
#include <cstdint>

#include <QString>

#include "AvraneUpdate/AppVersion.h"

// Two version texts from arbitrary bytes: the first byte says where to split them.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t split = data[0] % size;
    const auto* text = reinterpret_cast<const char*>(data + 1);
    const QString a = QString::fromUtf8(text, static_cast<qsizetype>(split));
    const QString b = QString::fromUtf8(text + split, static_cast<qsizetype>(size - 1 - split));

    const bool aNewer = avrane::AppVersion::isNewer(a, b);
    const bool bNewer = avrane::AppVersion::isNewer(b, a);
    // A strict order: never both ways, never newer than itself.
    if ((aNewer && bNewer) || avrane::AppVersion::isNewer(a, a)) __builtin_trap();
    return 0;
}
