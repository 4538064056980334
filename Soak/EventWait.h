#pragma once

#include <chrono>
#include <exception>
#include <functional>

namespace avrane::soak {

// Ctrl-C, SIGTERM or SIGHUP arrived: the run unwinds, stopping what it started on the way.
struct Interrupted : std::exception {
    int signal = 0;
    explicit Interrupted(int s) : signal(s) {}
    const char* what() const noexcept override { return "interrupted"; }
};

// From now on those signals end every wait below with Interrupted. Needs the application
// object.
void catchTerminationSignals();

// Runs the event loop until `done` holds (looked at every 10 ms) or `deadline` has passed;
// whether it holds.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline);
// Runs the event loop for `duration`.
void runFor(std::chrono::milliseconds duration);

}  // namespace avrane::soak
