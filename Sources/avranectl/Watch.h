#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>

#include "AvraneKit/Client/HeadsetClient.h"

namespace avrane::ctl {

// How often watch reads the battery, on top of the headset's own notifications.
constexpr std::chrono::seconds batteryReadPeriod{30};
// How often watch --follow looks for a dongle that is not there.
constexpr std::chrono::seconds dongleLookPeriod{1};

struct WatchOptions {
    bool json = false;
    // Wait for a dongle that is missing, went away or cannot be had for now, then watch it
    // again.
    bool follow = false;
    // Becomes readable when watching should stop; -1 for never.
    int interruptFd = -1;
};

// Opens a client on the device the command line chose; throws as HeadsetClient::connect.
using Connect = std::function<std::unique_ptr<HeadsetClient>()>;

// Prints one line (text, or one JSON object with --json) per change of the headset, until
// `interruptFd` becomes readable, which throws Interrupted. Starts from one full state read,
// whose failure it throws; a battery read that the headset does not answer is reported once
// as a line and watching goes on. A dongle that goes away (or is missing at the start)
// throws the failure, or with `follow` is reported once as a line and looked for every
// second (so is one that is busy or not yet open to the user); when it is back, what
// changed meanwhile is printed and watching goes on.
void watch(const Connect& connect, std::ostream& out, const WatchOptions& options);

}  // namespace avrane::ctl
