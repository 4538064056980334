#include <cstddef>
#include <cstdint>

#include "AvraneUpdate/ReleaseInfo.h"

// Any body the release server (or whoever answers in its place) sends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView body(data, static_cast<qsizetype>(size));
    const auto release = avrane::ReleaseInfo::decode(body);
    if (release) {
        // What is accepted must be safe to use as a file name and an https download.
        if (!avrane::ReleaseInfo::isUsableVersion(release->version)) __builtin_trap();
        if (release->packageURL.scheme() != QLatin1String("https")) __builtin_trap();
        if (size > static_cast<std::size_t>(avrane::ReleaseInfo::maximumManifestSize)) __builtin_trap();
    }
    return 0;
}
