#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "AvraneKit/Discovery/DeviceDiscovery.h"
#include "AvraneKit/Serial/SerialPort.h"

namespace avrane::ctl {

// What the tool takes from its process, so that tests can run it in-process on fake device
// trees.
struct Environment {
    DeviceDiscovery::Roots roots;
    std::string portOverride;  // AVRANE_PORT; empty when unset
    // Seconds per reply attempt, when not the application's own.
    std::optional<double> replyTimeout;
    // Called once by watch: a descriptor that becomes readable when it should stop.
    std::function<int()> interruptSource;
};

// Exit statuses.
constexpr int exitSuccess = 0;
constexpr int exitLinkFailed = 1;
constexpr int exitUsage = 2;

// Runs one command line (`args` without the program name) and returns the exit status.
int runTool(std::span<const std::string> args, const Environment& env, std::ostream& out,
            std::ostream& err);

// A port failure as the user should read it: a device held by someone else is said so.
std::string portFailureText(const SerialPort::Failure& failure);

}  // namespace avrane::ctl
