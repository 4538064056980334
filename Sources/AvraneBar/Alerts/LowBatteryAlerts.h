#pragma once

#include <cstdint>
#include <ostream>
#include <variant>

#include <QString>

#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Localization/Localization.h"

namespace avrane {

// When to tell the user that the headset's battery runs low: below 15 %, and again below
// 5 %, never while it charges, once per crossing. A level must climb 5 points back above a
// threshold before crossing it counts again, so a level wobbling around 15 % alerts once; a
// fall straight past both alerts once, for the lower. The alert shown is withdrawn when
// charging starts, or when the user turns the alerts off. Without a display or a bus: the
// application hands each snapshot in and carries out the action.
class LowBatteryAlerts {
public:
    static constexpr std::uint8_t lowBelow = 15;
    static constexpr std::uint8_t criticalBelow = 5;
    static constexpr std::uint8_t rearmMargin = 5;

    enum class Level { low, critical };
    // A notification to show, replacing the one shown, in the current language.
    struct Show {
        Level level = Level::low;
        QString title;  // "AVRANE H9 battery low"
        QString body;   // "14% left. Charge the headset soon."

        bool operator==(const Show&) const = default;
    };
    // Take the notification shown away.
    struct Withdraw {
        bool operator==(const Withdraw&) const = default;
    };
    using Action = std::variant<std::monostate, Show, Withdraw>;

    // `texts` nothing: the shared instance.
    explicit LowBatteryAlerts(const Localization* texts = nullptr);

    // `enabled`: the user's switch. Crossings while it is off are passed by silently.
    Action update(const HeadsetSnapshot& snapshot, bool enabled);
    bool isShowing() const { return showing_; }

private:
    Show alert(Level level, const HeadsetSnapshot& snapshot, std::uint8_t percent) const;

    const Localization* texts_;
    bool lowArmed_ = true;  // a start below a threshold counts as a crossing
    bool criticalArmed_ = true;
    bool showing_ = false;
};

std::ostream& operator<<(std::ostream& out, const LowBatteryAlerts::Action& action);

}  // namespace avrane
