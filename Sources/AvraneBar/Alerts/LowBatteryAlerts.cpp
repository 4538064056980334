#include "AvraneBar/Alerts/LowBatteryAlerts.h"

namespace avrane {

LowBatteryAlerts::LowBatteryAlerts(const Localization* texts) : texts_(texts ? texts : &Localization::shared()) {}

LowBatteryAlerts::Action LowBatteryAlerts::update(const HeadsetSnapshot& s, bool enabled) {
    const auto withdraw = [this]() -> Action {
        if (!showing_) return {};
        showing_ = false;
        return Withdraw{};
    };
    if (!enabled && showing_) return withdraw();
    // An unknown level (no headset, a failed read) changes nothing, not even a shown alert.
    if (s.availability.kind() != HeadsetSnapshot::Availability::Kind::connected || !s.batteryPercent) return {};
    const std::uint8_t percent = *s.batteryPercent;
    if (percent >= lowBelow + rearmMargin) lowArmed_ = true;
    if (percent >= criticalBelow + rearmMargin) criticalArmed_ = true;
    if (s.batteryCharging.value_or(false)) return withdraw();

    std::optional<Level> crossed;
    if (percent < criticalBelow && criticalArmed_) {
        crossed = Level::critical;
        criticalArmed_ = lowArmed_ = false;
    } else if (percent < lowBelow && lowArmed_) {
        crossed = Level::low;
        lowArmed_ = false;
    }
    if (!crossed || !enabled) return {};
    showing_ = true;
    return alert(*crossed, s, percent);
}

LowBatteryAlerts::Show LowBatteryAlerts::alert(Level level, const HeadsetSnapshot& s, std::uint8_t percent) const {
    const QString model = s.model ? QString::fromStdString(s.model->deviceName()) : texts_->text(Str::headset);
    const bool critical = level == Level::critical;
    return {level, model + u' ' + texts_->text(critical ? Str::batteryCriticalTitle : Str::batteryLowTitle),
            QString::number(percent) + QStringLiteral("% ") +
                texts_->text(critical ? Str::batteryCriticalBody : Str::batteryLowBody)};
}

std::ostream& operator<<(std::ostream& out, const LowBatteryAlerts::Action& action) {
    if (const auto* show = std::get_if<LowBatteryAlerts::Show>(&action)) {
        return out << (show->level == LowBatteryAlerts::Level::critical ? "critical" : "low") << " \""
                   << show->title.toStdString() << "\" \"" << show->body.toStdString() << '"';
    }
    return out << (std::holds_alternative<LowBatteryAlerts::Withdraw>(action) ? "withdraw" : "nothing");
}

}  // namespace avrane
