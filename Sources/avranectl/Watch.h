#pragma once

#include <chrono>
#include <ostream>

#include "AvraneKit/Client/HeadsetClient.h"

namespace avrane::ctl {

// How often watch reads the battery, on top of the headset's own notifications.
constexpr std::chrono::seconds batteryReadPeriod{30};

// Prints one line (text, or one JSON object with --json) per change of the headset, until
// `interruptFd` becomes readable. Starts from one full state read, whose failure it
// throws; a battery read that the headset does not answer is reported once as a line and
// watching goes on; a port failure (the dongle pulled out) is thrown.
void watch(HeadsetClient& client, std::ostream& out, bool json, int interruptFd);

}  // namespace avrane::ctl
