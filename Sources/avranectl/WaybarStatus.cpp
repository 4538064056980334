#include "avranectl/WaybarStatus.h"

#include "avranectl/StatusReport.h"

namespace avrane::ctl {

Json waybarJson(const BarReading& r) {
    std::string text;
    std::string tooltip;
    std::string cssClass;
    std::optional<int> percentage;
    switch (r.outcome) {
        case BarReading::Outcome::battery:
            if (r.battery && r.battery->percent) {
                percentage = *r.battery->percent;
                text = std::to_string(*percentage) + "%" + (r.battery->isCharging() ? "\u26A1" : "");
            } else {
                text = "?";
            }
            tooltip = r.headsetName + "\nBattery " + batteryText(r.battery);
            if (r.battery && r.battery->isCharging()) {
                cssClass = "charging";
            } else if (percentage && *percentage < lowBatteryPercent) {
                cssClass = "low";
            }
            break;
        case BarReading::Outcome::unreachable:
            text = "--";
            tooltip = std::string(r.timedOut ? "Headset not responding" : "Cannot reach the dongle") +
                      "\n" + r.reason;
            cssClass = "unreachable";
            break;
        case BarReading::Outcome::noDongle:
            // Empty text: a bar hides the module while no dongle is plugged in.
            tooltip = "No AVRANE dongle\n" + r.reason;
            cssClass = "no-dongle";
            break;
    }
    Json json = Json::object().set("text", text).set("tooltip", tooltip).set("class", cssClass);
    if (percentage) json.set("percentage", *percentage);
    return json;
}

}  // namespace avrane::ctl
