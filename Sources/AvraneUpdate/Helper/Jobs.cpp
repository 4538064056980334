#include "Jobs.h"

#include "AvraneUpdate/UpdateChecker.h"
#include "Fetch.h"
#include "PackageFile.h"

namespace avrane::helper {

namespace {

Report check(const Request& request, const CheckJob& job) {
    QByteArray body;
    const auto tooLarge = [](qint64 size) -> std::optional<QString> {
        if (size > ReleaseInfo::maximumManifestSize) return UpdateChecker::manifestUnreadableMessage;
        return std::nullopt;
    };
    const Fetched fetched = fetch(job.manifestURL, request.idleTimeout, request.totalTimeout,
                                  {[&](std::optional<qint64> length) { return tooLarge(length.value_or(0)); },
                                   [&](QByteArrayView part) {
                                       body += part;
                                       return tooLarge(body.size());
                                   }});
    if (fetched.failure) return Failure{*fetched.failure};
    if (fetched.status != 200) return Failure{UpdateChecker::manifestUnreadableMessage};
    auto release = ReleaseInfo::decode(body);
    if (!release) return Failure{UpdateChecker::manifestUnreadableMessage};
    return ManifestRead{std::move(*release)};
}

Report download(const Request& request, const DownloadJob& job) {
    PackageFile package(job.file);
    if (const auto why = package.open(request.totalTimeout)) return Failure{*why};
    const auto tooLarge = [&](qint64 size) -> std::optional<QString> {
        if (size > request.maximumSize) return UpdateChecker::tooLargeMessage(request.maximumSize);
        return std::nullopt;
    };
    const Fetched fetched = fetch(job.packageURL, request.idleTimeout, request.totalTimeout,
                                  {[&](std::optional<qint64> length) { return tooLarge(length.value_or(0)); },
                                   [&](QByteArrayView part) {
                                       if (const auto why = tooLarge(package.size() + part.size())) return why;
                                       return package.append(part);
                                   }});
    if (fetched.failure) return Failure{*fetched.failure};
    // A connection closed early can end without an error.
    if (fetched.status != 200 || (fetched.announcedLength && *fetched.announcedLength != package.size())) {
        return Failure{UpdateChecker::downloadIncompleteMessage};
    }
    if (job.sha256) {
        if (job.sha256->compare(package.sha256(), Qt::CaseInsensitive) != 0) {
            return Failure{UpdateChecker::checksumMismatchMessage};
        }
    } else if (!fetched.announcedLength) {
        return Failure{UpdateChecker::unverifiableMessage};
    }
    if (const auto why = package.commit()) return Failure{*why};
    return PackageReady{job.file};
}

}  // namespace

Report run(const Request& request) {
    if (const auto* job = std::get_if<CheckJob>(&request.job)) return check(request, *job);
    return download(request, std::get<DownloadJob>(request.job));
}

}  // namespace avrane::helper
