#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "AvraneSim/Simulator.h"

namespace avrane::sim {

// A headset that lives a little by itself, for demonstrations: the battery drains a percent
// at a time (and charges back to full once it runs low), the volume buttons are pressed now
// and then, and the noise-cancelling button steps through the modes its toggle includes.
// Every change goes through the simulator, so the program is notified as it would be by a
// real headset.
//
// Driven by the caller's clock: `advance` makes the changes that are due, so tests step
// time instead of waiting for it.
class LivelyScenario {
public:
    using Clock = std::chrono::steady_clock;
    using Output = std::function<void(const std::string& line)>;

    struct Periods {
        Clock::duration battery = std::chrono::seconds(3);
        Clock::duration volume = std::chrono::seconds(7);
        Clock::duration noiseCancelling = std::chrono::seconds(11);
    };

    // Once the battery is down to this, the charger goes in; at 100 % it comes out again.
    static constexpr std::uint8_t chargeBelow = 10;
    // The volume wanders between these steps (of 0-30), so that it stays audible.
    static constexpr std::uint8_t quietestVolume = 6;
    static constexpr std::uint8_t loudestVolume = 24;

    // `output`, when set, gets one line per change made.
    LivelyScenario(Simulator& simulator, Clock::time_point start, Periods periods,
                   Output output = {}, unsigned seed = 1);

    // Makes every change due at or before `now`, in time order, and returns when the next
    // one is due.
    Clock::time_point advance(Clock::time_point now);

private:
    void stepBattery();
    void pressVolume();
    void pressNoiseCancelling();
    void print(const std::string& line) const {
        if (output_) output_(line);
    }

    Simulator& simulator_;
    Periods periods_;
    Output output_;
    std::minstd_rand random_;
    Clock::time_point nextBattery_;
    Clock::time_point nextVolume_;
    Clock::time_point nextNoiseCancelling_;
};

}  // namespace avrane::sim
