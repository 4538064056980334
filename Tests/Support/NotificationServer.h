#pragma once

// The desktop's notification server on a private session bus: the fake-notification-server
// program built beside this, which prints every call it receives (see its source for the
// format).

#include <chrono>
#include <optional>

#include <QStringList>

#include "Support/DesktopSession.h"

namespace avrane::testing {

class NotificationServer : public DesktopPart {
public:
    explicit NotificationServer(const SessionBus& bus);
    // The next call's line ("Notify …" or "CloseNotification …"); nullopt on deadline.
    std::optional<QString> nextCall(std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // Every call so far, without waiting.
    QStringList calls();
    void addTo(QProcessEnvironment&) const override {}
};

}  // namespace avrane::testing
