#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>

#include "AvraneKit/Client/HeadsetClient.h"
#include "avranectl/ServiceClient.h"

namespace avrane::ctl {

// How often watch reads the battery, on top of the headset's own notifications.
constexpr std::chrono::seconds batteryReadPeriod{30};
// How often watch --follow looks for a dongle that is not there.
constexpr std::chrono::seconds dongleLookPeriod{1};
// How soon a watch through the application asks again for a read it could not carry out
// for now (its link failed meanwhile, it was busy).
constexpr std::chrono::milliseconds readRetryPeriod{1000};

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

// The same through the running application, which holds the dongle: its state read through
// it, then one line per change it announces, each read through it in full (so the lines are
// those of a watch on the dongle). When the application quits, ServiceGone is thrown; with
// `follow` the watch waits for the application to come back, or for the dongle to be free,
// and goes on.
void watchThroughService(ServiceClient& service, const Connect& connect, std::ostream& out,
                         const WatchOptions& options);

// The application left the bus while a command was waiting on it.
class ServiceGone : public std::exception {
public:
    const char* what() const noexcept override { return "AvraneBar quit"; }
};

// Waits `period`, or throws Interrupted as soon as `interruptFd` is readable.
void pauseFor(std::chrono::milliseconds period, int interruptFd);

// A client whose requests the running application carries to the headset.
std::unique_ptr<HeadsetClient> relayedClient(ServiceClient& service, const ServiceState& state);

}  // namespace avrane::ctl
