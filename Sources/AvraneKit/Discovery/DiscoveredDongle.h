#pragma once

#include <optional>
#include <string>

#include "AvraneKit/Discovery/DongleModel.h"

namespace avrane {

// A dongle found on this machine (or the device forced through AVRANE_PORT).
struct DiscoveredDongle {
    DongleModel model;
    std::string devicePath;  // the serial device to open
    std::optional<std::string> serialNumber;

    bool operator==(const DiscoveredDongle&) const = default;
};

}  // namespace avrane
