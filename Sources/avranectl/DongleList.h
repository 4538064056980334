#pragma once

#include <string>
#include <vector>

#include "AvraneKit/Discovery/DeviceDiscovery.h"
#include "avranectl/Json.h"

namespace avrane::ctl {

// Every dongle plugged in: those with their switch at PC, which the tool can drive, and
// those in another known mode.
struct DongleList {
    std::vector<DiscoveredDongle> controllable;
    std::vector<DiscoveredDongle> otherModes;
};

DongleList findAllDongles(const DeviceDiscovery::Roots& roots);

std::string dongleListText(const DongleList& list);
Json dongleListJson(const DongleList& list);

}  // namespace avrane::ctl
