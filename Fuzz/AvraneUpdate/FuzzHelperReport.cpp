#include <cstddef>
#include <cstdint>

#include "AvraneUpdate/HelperReport.h"

// Any line the update helper (or whatever runs in its place) writes to the application.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView line(data, static_cast<qsizetype>(size));
    const auto report = avrane::helper::decode(line);
    if (report) {
        // Only the helper's own line is taken: exactly what encoding the report gives back,
        // within the length the application reads.
        const QByteArray again = avrane::helper::encode(*report);
        if (QByteArrayView(again).chopped(1) != line || again.size() > avrane::helper::maximumReportLength) __builtin_trap();
        if (const auto* read = std::get_if<avrane::helper::ManifestRead>(&*report);
            read && !avrane::ReleaseInfo::isUsableVersion(read->release.version))
            __builtin_trap();
    }
    return 0;
}
