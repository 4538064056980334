#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AvraneKit/Client/HeadsetClient.h"
#include "avranectl/Json.h"

namespace avrane::ctl {

// Everything `status` shows: the dongle in use and one full read of the headset.
struct StatusReport {
    DiscoveredDongle dongle;
    std::optional<ModelInfo> modelInfo;
    std::optional<FirmwareVersion> firmware;
    HeadsetState state;
};

// The whole state, then model and firmware. Only the state read can fail it; a model or
// firmware the headset does not give is left out.
StatusReport readStatus(HeadsetClient& client);

// One line of status: a name and its value text ("not reported" when absent).
using StatusRow = std::pair<std::string, std::string>;

// The rows that come from the headset's state: battery, every setting, the noise-cancelling
// toggle and the headset's Bluetooth.
std::vector<StatusRow> stateRows(const HeadsetState& state);
// Rows aligned in two columns, one per line.
std::string formatRows(const std::vector<StatusRow>& rows);
std::string statusText(const StatusReport& report);

// The state's fields under their own names, records as objects, enumerations by case name,
// absent values as null.
Json stateJson(const HeadsetState& state);
Json statusJson(const StatusReport& report);

// The member of stateJson that a notification of `item` updates, or nothing for an item
// the state does not hold.
std::optional<std::string> stateFieldName(EventID item);
// Folds a notification into `state`; false when the item is not one the state holds or its
// payload does not decode.
bool applyNotification(HeadsetState& state, const Packet& notification);

// The display name of a model code ("AVRANE H9 (HDX-2959)").
std::string modelText(std::uint8_t modelID);
std::string batteryText(const std::optional<BatteryInfo>& battery);

}  // namespace avrane::ctl
