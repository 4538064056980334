#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <QByteArrayView>
#include <QString>
#include <QUrl>

namespace avrane::helper {

// What the receiver of a body is told, and may answer with a message that ends the
// transfer as a failure.
struct BodyReceiver {
    // Once, when a 200 answer begins, with the length the server announced (if it did).
    std::function<std::optional<QString>(std::optional<qint64> announcedLength)> begin;
    // Each part of that answer's body, as it arrives.
    std::function<std::optional<QString>(QByteArrayView part)> take;
};

struct Fetched {
    // The transfer failed (connection, TLS, a redirect to a less safe place, the time
    // limits, or the receiver's own message): no answer to judge.
    std::optional<QString> failure;
    int status = 0;
    std::optional<qint64> announcedLength;
};

// One GET of `url` that keeps no cache, cookies or credentials, follows a redirect only to a
// place as safe as the first (never from https to http), and fails after `idleTimeout`
// without progress or `totalTimeout` in all. Only the body of a 200 answer reaches the
// receiver. Runs an event loop until it is over.
Fetched fetch(const QUrl& url, std::chrono::milliseconds idleTimeout, std::chrono::milliseconds totalTimeout,
              const BodyReceiver& receiver);

}  // namespace avrane::helper
