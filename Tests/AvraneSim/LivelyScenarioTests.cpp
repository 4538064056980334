#include "AvraneSim/LivelyScenario.h"

#include <gtest/gtest.h>

#include <vector>

namespace avrane::sim {
namespace {

using namespace std::chrono_literals;
using Clock = LivelyScenario::Clock;

// The simulator is not started: changes land in its model and nothing is sent.
class LivelyScenarioTests : public ::testing::Test {
protected:
    Simulator sim;
    const Clock::time_point start{};
};

// One late call catches up on everything due, in time order.
TEST_F(LivelyScenarioTests, ButtonsStayInRangeAndCatchUp) {
    HeadsetModel model;
    model.ncToggle = {.includesOff = true, .includesNoiseCancelling = false,
                      .includesAmbientSound = true};
    model.ambient.mode = NoiseCancellingMode::noiseCancelling;
    sim.setModel(model);
    LivelyScenario scenario(sim, start, {.battery = 1h, .volume = 1s, .noiseCancelling = 10s});

    std::vector<NoiseCancellingMode> modes;
    int volumeChanges = 0;
    std::uint8_t level = sim.model().headphoneVolume.level;
    for (int tens = 1; tens <= 4; ++tens) {
        EXPECT_EQ(scenario.advance(start + tens * 10s), start + tens * 10s + 1s);
        modes.push_back(sim.model().ambient.mode);
        const HeadphoneVolume volume = sim.model().headphoneVolume;
        EXPECT_GE(volume.level, LivelyScenario::quietestVolume);
        EXPECT_LE(volume.level, LivelyScenario::loudestVolume);
        EXPECT_EQ(volume.reportedPercent, percentOfSteps(volume.level, 30));
        volumeChanges += volume.level != level;
        level = volume.level;
    }
    EXPECT_GE(volumeChanges, 2);
    // Noise cancelling is not in the toggle, so the button skips it.
    using M = NoiseCancellingMode;
    EXPECT_EQ(modes, (std::vector{M::ambientSound, M::off, M::ambientSound, M::off}));
}

}  // namespace
}  // namespace avrane::sim
