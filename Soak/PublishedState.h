#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AvraneKit/Client/HeadsetState.h"
#include "AvraneKit/Client/SettingTable.h"
#include "AvraneSim/HeadsetModel.h"

namespace avrane::soak {

// The application's service properties as text, by property name: settings in the words
// `avranectl get` prints, the battery as "80" and "true"/"false". A property whose value is
// not known is absent.
using Properties = std::map<std::string, std::string>;

// What a full read of this headset gives.
HeadsetState stateOf(const sim::HeadsetModel& model);

// What the application should publish while connected to this headset: every property that
// the simulated headset also has (the computer's own Bluetooth and the dongle's path are not).
Properties expectedProperties(const sim::HeadsetModel& model);

// The expected properties that are published with another value, or not at all.
std::vector<std::string> differences(const Properties& published, const Properties& expected);
// The same, each with both values ("Volume 1, the headset 15"); when the availability differs,
// only it and how many more.
std::string describeDifferences(const Properties& published, const Properties& expected);

// The words of `setting` once a `set` of its item with `param` is stored: what that write
// wrote, in the words the caller used. Nothing when the param does not decode.
std::optional<std::string> wordsOfWrite(const Setting& setting, ByteView param);

}  // namespace avrane::soak
