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

}  // namespace avrane
