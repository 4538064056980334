#include "AvraneBar/StatusItem/StatusItemText.h"

#include "AvraneBar/Preferences/MenuBarPreferences.h"

namespace avrane {
namespace status {

using Kind = HeadsetSnapshot::Availability::Kind;

Flags storedFlags(const UserDefaults& defaults) {
    return {MenuBarPreferences::flag(MenuBarPreferences::showsBatteryText, true, defaults),
            MenuBarPreferences::flag(MenuBarPreferences::showsVolumeText, false, defaults)};
}

QString title(const HeadsetSnapshot& s, Flags flags) {
    if (s.availability.kind() != Kind::connected) return {};
    QStringList parts;
    if (flags.showsBattery && s.batteryPercent) {
        parts << QString::number(*s.batteryPercent) + (s.batteryCharging.value_or(false) ? QStringLiteral("%\u26A1") : QStringLiteral("%"));
    }
    if (flags.showsVolume && s.volume) parts << QString::number(s.volume->level);
    if (parts.isEmpty()) return {};
    return u' ' + parts.join(QStringLiteral(" \u00B7 "));
}

QString toolTip(const HeadsetSnapshot& s, const Localization& texts, Flags flags) {
    switch (s.availability.kind()) {
    case Kind::noDongle:
        if (s.availability.inUse()) return texts.text(Str::dongleInUse);
        return texts.text(s.availability.accessDenied() ? Str::dongleNoAccess : Str::noDongle);
    case Kind::headsetUnreachable: return texts.text(Str::headsetNotResponding);
    case Kind::connected: break;
    }
    const QString name = s.model ? QString::fromStdString(s.model->deviceName()) : texts.text(Str::headset);
    QStringList parts;
    if (s.batteryPercent) parts << texts.text(Str::battery) + u' ' + QString::number(*s.batteryPercent) + u'%';
    if (flags.showsVolume && s.volume) parts << texts.text(Str::volume) + u' ' + QString::number(s.volume->level);
    if (parts.isEmpty()) return name;
    return name + QStringLiteral(" \u2014 ") + parts.join(QStringLiteral(" \u00B7 "));
}

}  // namespace status

StatusItemModel::Output StatusItemModel::render(const HeadsetSnapshot& snapshot) {
    latest_ = snapshot;
    const status::Flags flags = status::storedFlags(defaults_);
    Output output{std::nullopt, status::toolTip(snapshot, texts_, flags)};
    QString title = status::title(snapshot, flags);
    if (renderedTitle_ != title) {
        renderedTitle_ = title;
        output.title = std::move(title);
    }
    return output;
}

std::optional<StatusItemModel::Output> StatusItemModel::relabel() {
    if (!latest_) return std::nullopt;
    return render(*latest_);
}

std::optional<StatusItemModel::Output> StatusItemModel::preferencesChanged() {
    renderedTitle_.reset();
    if (!latest_) return std::nullopt;
    return render(*latest_);
}

}  // namespace avrane
