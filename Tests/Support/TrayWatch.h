#pragma once

// A real desktop's tray as seen on the session bus: its StatusNotifierWatcher (waybar's,
// GNOME's AppIndicator extension's, kded's), the items registered with it, and an item's menu
// as its host reads it (com.canonical.dbusmenu). Needs no package beyond Qt's D-Bus module.

#include <optional>
#include <vector>

#include <QDBusConnection>
#include <QStringList>

#include <gtest/gtest.h>

#include "Support/StatusNotifierItems.h"

namespace avrane::testing {

class TrayWatch {
public:
    explicit TrayWatch(const QDBusConnection& bus) : bus_(bus) {}

    // A watcher is on the bus and says that a host (the bar) is there.
    bool hostRegistered() const;
    // The registered item of the program with process id `pid`, found through the bus's
    // record of who owns each item's name (watchers write the addresses each their own way).
    std::optional<StatusNotifierItemAddress> itemOf(qint64 pid) const;

private:
    QDBusConnection bus_;
};

// The top level of an item's menu, as hosts show it.
class ItemMenu {
public:
    struct Entry {
        int id = 0;
        QString label;  // without the mnemonic's underscore
    };

    ItemMenu(const QDBusConnection& bus, const StatusNotifierItemAddress& item);
    std::vector<Entry> entries() const;
    // What a host sends when the entry with this label is clicked.
    ::testing::AssertionResult click(const QString& label) const;

private:
    QDBusConnection bus_;
    QString service_, path_;
};

}  // namespace avrane::testing
