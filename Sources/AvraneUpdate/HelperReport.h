#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "AvraneUpdate/ReleaseInfo.h"

namespace avrane::helper {

// What the update helper reports on its standard output when its job is done: one line
// holding one JSON object with one member, then the end of the output.
//
//   {"release":{"package_url":"https://…/a.deb","sha256":"9f86d0…","version":"1.4.0"}}
//   {"ready":"/home/me/.cache/avrane/avrane-linux-1.4.0.deb"}
//   {"failed":"The request timed out."}

// The manifest was fetched and accepted.
struct ManifestRead {
    ReleaseInfo release;
    bool operator==(const ManifestRead&) const = default;
};
// The package is in place under its final name, its integrity established.
struct PackageReady {
    QString file;
    bool operator==(const PackageReady&) const = default;
};
// The job failed; the message is for the user.
struct Failure {
    QString message;
    bool operator==(const Failure&) const = default;
};
using Report = std::variant<ManifestRead, PackageReady, Failure>;

// A longer line is nonsense, whatever follows; the application stops reading there.
inline constexpr qsizetype maximumReportLength = 64 * 1024;

// The report's line, newline included: compact JSON, members in a fixed order.
QByteArray encode(const Report& report);

// The report a line holds (without its newline), or nothing. Only the exact line `encode`
// writes is accepted: any other spacing, order, member, type or escape, a release the
// manifest rules refuse, a relative file path, an empty message or one with control
// characters, or a line over the limit is refused.
std::optional<Report> decode(QByteArrayView line);

}  // namespace avrane::helper
