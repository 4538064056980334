#include "AvraneUpdate/HelperRequest.h"

#include <limits>

#include <QDir>
#include <QHash>

namespace avrane::helper {

namespace {

const QLatin1String checkName("check"), downloadName("download");

QString option(const char* name, const QString& value) {
    return QStringLiteral("--%1=%2").arg(QLatin1String(name), value);
}

std::optional<qint64> positive(const QString& text, qint64 maximum) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value <= 0 || value > maximum) return std::nullopt;
    return value;
}

}  // namespace

QStringList Request::arguments() const {
    QStringList out;
    if (const auto* check = std::get_if<CheckJob>(&job)) {
        out << checkName << option("url", QString::fromUtf8(check->manifestURL.toEncoded()));
    } else {
        const auto& download = std::get<DownloadJob>(job);
        out << downloadName << option("url", QString::fromUtf8(download.packageURL.toEncoded()))
            << option("file", download.file);
        if (download.sha256) out << option("sha256", *download.sha256);
        out << option("max-size", QString::number(maximumSize));
    }
    out << option("idle-timeout", QString::number(idleTimeout.count()))
        << option("total-timeout", QString::number(totalTimeout.count()));
    if (caCertificates) out << option("ca-certificates", *caCertificates);
    return out;
}

std::optional<Request> Request::fromArguments(const QStringList& arguments, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<Request> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (arguments.isEmpty() || (arguments[0] != checkName && arguments[0] != downloadName)) {
        return fail(QStringLiteral("the first argument must be check or download"));
    }
    const bool isDownload = arguments[0] == downloadName;
    QStringList known{QStringLiteral("url"), QStringLiteral("idle-timeout"), QStringLiteral("total-timeout"),
                      QStringLiteral("ca-certificates")};
    if (isDownload) known << QStringLiteral("file") << QStringLiteral("sha256") << QStringLiteral("max-size");

    QHash<QString, QString> values;
    for (const QString& argument : arguments.sliced(1)) {
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = argument.startsWith(QLatin1String("--")) && equals > 2 ? argument.sliced(2, equals - 2) : QString();
        if (!known.contains(name)) return fail(QStringLiteral("unknown argument %1").arg(argument));
        if (values.contains(name)) return fail(QStringLiteral("--%1 given twice").arg(name));
        values.insert(name, argument.sliced(equals + 1));
    }

    const QUrl url(values.value(QStringLiteral("url")), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return fail(QStringLiteral("--url needs an absolute URL"));
    Request request;
    if (isDownload) {
        request.idleTimeout = transferIdleTimeout;
        const QString file = values.value(QStringLiteral("file"));
        if (!QDir::isAbsolutePath(file) || QDir::cleanPath(file) != file) return fail(QStringLiteral("--file needs an absolute path"));
        DownloadJob download{url, file, std::nullopt};
        if (values.contains(QStringLiteral("sha256"))) download.sha256 = values.value(QStringLiteral("sha256"));
        request.job = std::move(download);
    } else {
        request.job = CheckJob{url};
    }
    if (values.contains(QStringLiteral("ca-certificates"))) {
        const QString file = values.value(QStringLiteral("ca-certificates"));
        if (!QDir::isAbsolutePath(file)) return fail(QStringLiteral("--ca-certificates needs an absolute path"));
        request.caCertificates = file;
    }
    // Time limits in milliseconds, as Qt's timers take them (up to 24 days).
    const auto number = [&](const char* name, qint64 fallback, qint64 maximum) -> std::optional<qint64> {
        const QString key = QLatin1String(name);
        return values.contains(key) ? positive(values.value(key), maximum) : fallback;
    };
    const qint64 longest = std::numeric_limits<int>::max();
    const auto maximumSize = number("max-size", defaultMaximumPackageSize, std::numeric_limits<qint64>::max());
    const auto idle = number("idle-timeout", request.idleTimeout.count(), longest);
    const auto total = number("total-timeout", defaultTotalTimeout.count(), longest);
    if (!maximumSize || !idle || !total) {
        return fail(QStringLiteral("--max-size, --idle-timeout and --total-timeout need a positive whole number "
                                   "(of milliseconds, up to %1, for the time limits)").arg(longest));
    }
    request.maximumSize = *maximumSize;
    request.idleTimeout = std::chrono::milliseconds(*idle);
    request.totalTimeout = std::chrono::milliseconds(*total);
    return request;
}

}  // namespace avrane::helper
