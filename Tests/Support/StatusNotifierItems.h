#pragma once

// The tray of desktops that speak StatusNotifierItem over D-Bus: a watcher of our own on a
// private session bus (the fake-status-notifier-watcher program built beside this, so no
// package beyond Qt's D-Bus module), and what its host reads from and calls on an item.

#include <chrono>
#include <optional>

#include <QDBusConnection>
#include <QImage>
#include <QPoint>
#include <QVariant>

#include "Support/DesktopSession.h"

namespace avrane::testing {

struct StatusNotifierItemAddress {
    QString service, path;
};

// Owns org.kde.StatusNotifierWatcher on `bus` once started, with a host registered from the
// start. Started when the test likes, it plays a panel that comes up after the program.
class StatusNotifierWatcher : public DesktopPart {
public:
    // `hostAfter`: the host registers only that long after the watcher came up.
    explicit StatusNotifierWatcher(const SessionBus& bus, std::chrono::milliseconds hostAfter = {});
    // The next item that registers; nullopt on deadline (with the reason in started()).
    std::optional<StatusNotifierItemAddress> nextRegistration(std::chrono::milliseconds deadline = std::chrono::seconds(10));
    void addTo(QProcessEnvironment&) const override {}

private:
    std::optional<StatusNotifierItemAddress> next(const QString& event, std::chrono::milliseconds deadline);
};

// One registered item as the host sees it.
class StatusNotifierItem {
public:
    struct ToolTip {
        QString title, text;
    };

    StatusNotifierItem(const QDBusConnection& bus, StatusNotifierItemAddress address);
    // What the host calls on a left click at `position` (screen coordinates).
    ::testing::AssertionResult activate(QPoint position = {}) const;
    // A property of org.kde.StatusNotifierItem as sent (structures arrive as QDBusArgument).
    std::optional<QVariant> property(const QString& name) const;
    std::optional<ToolTip> toolTip() const;
    // The largest image of IconPixmap; null when there is none.
    QImage icon() const;

private:
    QDBusConnection bus_;
    StatusNotifierItemAddress address_;
};

}  // namespace avrane::testing
