#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace avrane::soak {

// How long the application takes to catch up after an episode's faults: from the end of the
// last fault until what it publishes equals the simulated headset and stays so, but for
// differences shorter than half a second once it was equal (a change of the headset on its
// way to the bus, a write and the read after it). Fed every comparison, with its time.
class CatchUp {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds inTransit{500};

    // An episode's faults begin: differences are expected.
    void faultsBegin() { measuring_ = false; }
    // Its last fault ended: from now on catching up is timed.
    void faultsEnded(Clock::time_point now);
    // One comparison: what differs, with both values, or nothing when they are equal.
    void observe(Clock::time_point now, const std::string& difference);

    // How long catching up took, or nothing while the two differ for longer than a change in
    // transit (or have differed since the faults ended).
    std::optional<Clock::duration> caughtUp(Clock::time_point now) const;
    // Equal now, after catching up: a calm moment to measure the process in.
    bool settled(Clock::time_point now) const { return measuring_ && !differingSince_ && caughtUp(now); }
    // What differed at the start of the difference that ended last and counted.
    const std::string& lastDifference() const { return lastDifference_; }

private:
    bool measuring_ = false;
    Clock::time_point faultsEnded_;
    std::optional<Clock::time_point> differingSince_;
    std::string difference_, lastDifference_;
    std::optional<Clock::duration> caughtUp_;
};

}  // namespace avrane::soak
