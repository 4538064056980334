#include <cstddef>
#include <cstdint>

#include "AvraneUpdate/HelperReport.h"
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
        // And the update helper can report it: the application takes back what it sent.
        const avrane::helper::Report report = avrane::helper::ManifestRead{*release};
        const QByteArray line = avrane::helper::encode(report);
        if (line.size() < avrane::helper::maximumReportLength &&
            avrane::helper::decode(QByteArrayView(line).chopped(1)) != report)
            __builtin_trap();
    }
    return 0;
}
