#pragma once

#include <optional>
#include <string>

#include "AvraneKit/Settings/BatteryInfo.h"
#include "avranectl/Json.h"

namespace avrane::ctl {

// What a status bar shows: the battery, or why there is none.
struct BarReading {
    enum class Outcome { battery, unreachable, noDongle };

    Outcome outcome = Outcome::noDongle;
    std::optional<BatteryInfo> battery;  // battery
    std::string headsetName;             // battery: the model's name
    std::string reason;                  // unreachable, noDongle: the failure's text
    bool timedOut = false;               // unreachable: the headset did not answer
};

// Below this the battery shows as low.
constexpr int lowBatteryPercent = 15;

// The object of a waybar custom module (polybar and others read the same): text, tooltip,
// class ("charging", "low", "unreachable", "no-dongle", or empty) and, when known,
// percentage.
Json waybarJson(const BarReading& reading);

}  // namespace avrane::ctl
