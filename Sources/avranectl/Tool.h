#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "AvraneKit/Discovery/DeviceDiscovery.h"

namespace avrane::ctl {

// What the tool takes from its process, so that tests can run it in-process on fake device
// trees.
struct Environment {
    DeviceDiscovery::Roots roots;
    std::string portOverride;  // AVRANE_PORT; empty when unset
    // Seconds per reply attempt, when not the application's own.
    std::optional<double> replyTimeout;
    // Becomes readable when the tool should stop: every wait on the headset, on the dongle
    // or on the output ends at once. Its first byte is the number of the signal that asked
    // (SIGINT, SIGTERM), which the exit status reports. -1 for never.
    int interruptFd = -1;
    // Whether commands go through a running AvraneBar found on the session bus.
    bool useService = true;
};

// Exit statuses; an interrupted command exits with 128 + the signal's number, as a shell
// reports a program the signal ended.
constexpr int exitSuccess = 0;
constexpr int exitLinkFailed = 1;  // also: the output could not be written
constexpr int exitUsage = 2;
// A write went out, then the line failed before the headset's answer came: it may have been
// taken. It was not sent again.
constexpr int exitUnconfirmed = 3;

// Runs one command line (`args` without the program name) and returns the exit status.
// `out` may throw WriteError (see DescriptorOutput); it is reported like a link failure.
int runTool(std::span<const std::string> args, const Environment& env, std::ostream& out,
            std::ostream& err);

}  // namespace avrane::ctl
