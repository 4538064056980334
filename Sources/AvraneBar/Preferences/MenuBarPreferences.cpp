#include "AvraneBar/Preferences/MenuBarPreferences.h"

#include "AvraneBar/Notifications/NotificationCenter.h"

namespace avrane {

bool MenuBarPreferences::flag(const QString& key, bool defaultValue, const UserDefaults& defaults) {
    return defaults.boolean(key).value_or(defaultValue);
}

bool MenuBarPreferences::setFlag(const QString& key, bool value, const UserDefaults& defaults,
                                 const SettingsTrace& trace) {
    if (defaults.boolean(key) == value) return true;
    if (!defaults.setBoolean(key, value)) {
        trace.notSaved(defaults, key, value ? QStringLiteral("true") : QStringLiteral("false"));
        return false;
    }
    NotificationCenter::defaultCenter().post(didChange);
    return true;
}

TrayIconColour MenuBarPreferences::trayIconColour(const UserDefaults& defaults) {
    const auto stored = defaults.text(trayIconColourKey);
    return stored ? trayIconColourFromRaw(*stored).value_or(TrayIconColour::automatic) : TrayIconColour::automatic;
}

bool MenuBarPreferences::setTrayIconColour(TrayIconColour colour, const UserDefaults& defaults,
                                           const SettingsTrace& trace) {
    const QString raw = rawValue(colour);
    if (defaults.text(trayIconColourKey) == raw) return true;
    if (!defaults.setText(trayIconColourKey, raw)) {
        trace.notSaved(defaults, trayIconColourKey, raw);
        return false;
    }
    NotificationCenter::defaultCenter().post(didChange);
    return true;
}

}  // namespace avrane
