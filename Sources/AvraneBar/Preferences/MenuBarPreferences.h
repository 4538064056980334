#pragma once

#include <QString>

#include "AvraneBar/Preferences/SettingsTrace.h"
#include "AvraneDefaults/UserDefaults.h"

namespace avrane {

// The on/off preferences that shape the tray item, the taskbar entry and the alerts. They live in the
// user defaults; each reader passes its own default, nothing is registered.
class MenuBarPreferences {
public:
    MenuBarPreferences() = delete;

    // Posted on the default NotificationCenter after a flag really changed.
    static inline const QString didChange = QStringLiteral("avrane.menubar.preferencesDidChange");

    // Battery percentage beside the tray icon; default on.
    static inline const QString showsBatteryText = QStringLiteral("menubar.showsBatteryText");
    // Headphone volume step beside the tray icon; default off.
    static inline const QString showsVolumeText = QStringLiteral("menubar.showsVolumeText");
    // An entry in the taskbar and window switcher; default off.
    static inline const QString showsDockIcon = QStringLiteral("app.showsDockIcon");
    // A desktop notification when the headset's battery runs low; default on.
    static inline const QString lowBatteryAlerts = QStringLiteral("app.lowBatteryAlerts");

    // The stored flag, or `defaultValue` when nothing or something other than a flag is
    // stored under `key`.
    static bool flag(const QString& key, bool defaultValue,
                     const UserDefaults& defaults = UserDefaults::standard());
    // Stores `value` and posts didChange, unless the same flag is already stored. A value
    // that cannot be saved is traced and not announced: the stored flag stays in force, and
    // the answer is false.
    static bool setFlag(const QString& key, bool value,
                        const UserDefaults& defaults = UserDefaults::standard(),
                        const SettingsTrace& trace = {});
};

}  // namespace avrane
