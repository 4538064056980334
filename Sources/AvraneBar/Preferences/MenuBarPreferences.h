#pragma once

#include <QString>

#include "AvraneBar/Preferences/SettingsTrace.h"
#include "AvraneBar/Preferences/TrayIconColour.h"
#include "AvraneDefaults/UserDefaults.h"

namespace avrane {

// The preferences that shape the tray item, the taskbar entry and the alerts: on/off flags
// and the tray icon's colour. They live in the user defaults; each reader of a flag passes its
// own default, nothing is registered.
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
    // The tray icon's colour, as its raw text; default automatic.
    static inline const QString trayIconColourKey = QStringLiteral("menubar.trayIconColour");

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

    // The stored colour; automatic for nothing or anything else stored.
    static TrayIconColour trayIconColour(const UserDefaults& defaults = UserDefaults::standard());
    // As setFlag: stored and announced only when it changes, traced when it cannot be saved
    // (the answer is then false).
    static bool setTrayIconColour(TrayIconColour colour, const UserDefaults& defaults = UserDefaults::standard(),
                                  const SettingsTrace& trace = {});
};

}  // namespace avrane
