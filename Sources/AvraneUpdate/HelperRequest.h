#pragma once

#include <chrono>
#include <optional>
#include <variant>

#include <QString>
#include <QStringList>
#include <QUrl>

namespace avrane::helper {

// The program's file name; it is installed in libexec/avranebar (see UpdateChecker).
inline constexpr char programName[] = "avrane-update-helper";

// Fetch the release manifest and report the release it names.
struct CheckJob {
    QUrl manifestURL;
    bool operator==(const CheckJob&) const = default;
};
// Download a package to `file` and report it ready once its integrity is established.
struct DownloadJob {
    QUrl packageURL;
    QString file;
    std::optional<QString> sha256;
    bool operator==(const DownloadJob&) const = default;
};

// One job of the update helper, as its command line says it:
//
//   avrane-update-helper check --url=URL [--idle-timeout=MS] [--total-timeout=MS]
//                              [--ca-certificates=FILE]
//   avrane-update-helper download --url=URL --file=PATH [--sha256=HEX] [--max-size=BYTES]
//                                 [--idle-timeout=MS] [--total-timeout=MS] [--ca-certificates=FILE]
//
// Each option is one argument, its value after the first "=", so that no value (a version
// in a file name may start with "-") is ever read as an option.
struct Request {
    static constexpr std::chrono::milliseconds manifestIdleTimeout{60'000};
    static constexpr std::chrono::milliseconds transferIdleTimeout{15'000};
    static constexpr std::chrono::milliseconds defaultTotalTimeout{300'000};
    static constexpr qint64 defaultMaximumPackageSize = qint64(256) << 20;

    std::variant<CheckJob, DownloadJob> job;
    // A transfer that makes no progress for this long fails.
    std::chrono::milliseconds idleTimeout = manifestIdleTimeout;
    // Limit on a whole transfer, however it progresses.
    std::chrono::milliseconds totalTimeout = defaultTotalTimeout;
    // Downloads only: a larger package is refused, announced or not.
    qint64 maximumSize = defaultMaximumPackageSize;
    // A file of PEM certificates trusted in place of the system's.
    std::optional<QString> caCertificates = std::nullopt;

    bool operator==(const Request&) const = default;

    // The arguments after the program's name.
    QStringList arguments() const;
    // The request the arguments after the program's name make, or nothing and the reason in
    // `error`: an unknown job or option, an option twice, a missing or malformed value.
    static std::optional<Request> fromArguments(const QStringList& arguments, QString* error = nullptr);
};

}  // namespace avrane::helper
