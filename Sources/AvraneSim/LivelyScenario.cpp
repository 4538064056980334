#include "AvraneSim/LivelyScenario.h"

#include <algorithm>
#include <array>

#include "AvraneKit/Support/EnumTable.h"

namespace avrane::sim {
namespace {

// While charging the battery fills faster than it drains, as real ones do.
constexpr int chargeStep = 3;

bool includes(const NCToggleSetting& toggle, NoiseCancellingMode mode) {
    switch (mode) {
        case NoiseCancellingMode::off: return toggle.includesOff;
        case NoiseCancellingMode::noiseCancelling: return toggle.includesNoiseCancelling;
        case NoiseCancellingMode::ambientSound: return toggle.includesAmbientSound;
    }
    return false;
}

}  // namespace

LivelyScenario::LivelyScenario(Simulator& simulator, Clock::time_point start, Periods periods,
                               Output output, unsigned seed)
    : simulator_(simulator),
      periods_(periods),
      output_(std::move(output)),
      random_(seed),
      nextBattery_(start + periods.battery),
      nextVolume_(start + periods.volume),
      nextNoiseCancelling_(start + periods.noiseCancelling) {}

LivelyScenario::Clock::time_point LivelyScenario::advance(Clock::time_point now) {
    for (;;) {
        Clock::time_point* next = &nextBattery_;
        if (nextVolume_ < *next) next = &nextVolume_;
        if (nextNoiseCancelling_ < *next) next = &nextNoiseCancelling_;
        if (*next > now) return *next;
        if (next == &nextBattery_) {
            stepBattery();
            nextBattery_ += periods_.battery;
        } else if (next == &nextVolume_) {
            pressVolume();
            nextVolume_ += periods_.volume;
        } else {
            pressNoiseCancelling();
            nextNoiseCancelling_ += periods_.noiseCancelling;
        }
    }
}

void LivelyScenario::stepBattery() {
    BatteryInfo battery;
    simulator_.change(EventID::batteryInfo, [&](HeadsetModel& m) {
        BatteryInfo& b = m.battery;
        const int percent = b.percent.value_or(80);
        if (b.isCharging()) {
            b.percent = static_cast<std::uint8_t>(std::min(100, percent + chargeStep));
            if (b.percent == 100) b.statusCode = rawValue(BatteryInfo::Status::discharging);
        } else {
            b.statusCode = rawValue(BatteryInfo::Status::discharging);
            b.percent = static_cast<std::uint8_t>(std::max(0, percent - 1));
            if (b.percent <= chargeBelow) b.statusCode = rawValue(BatteryInfo::Status::charging);
        }
        battery = b;
    });
    print("lively: battery " + std::to_string(*battery.percent) + " %" +
          (battery.isCharging() ? ", charging" : ""));
}

void LivelyScenario::pressVolume() {
    // One to three presses of the same button; turned round at the ends of the range.
    int delta = std::uniform_int_distribution<int>(1, 3)(random_);
    if (std::uniform_int_distribution<int>(0, 1)(random_) == 0) delta = -delta;
    std::uint8_t level = 0;
    simulator_.change(EventID::headphoneVolume, [&](HeadsetModel& m) {
        const int current = m.headphoneVolume.level;
        if (current + delta < quietestVolume || current + delta > loudestVolume) delta = -delta;
        level = static_cast<std::uint8_t>(
            std::clamp<int>(current + delta, quietestVolume, loudestVolume));
        m.headphoneVolume.level = level;
        m.headphoneVolume.reportedPercent = percentOfSteps(level, 30);
    });
    print("lively: volume " + std::to_string(level));
}

void LivelyScenario::pressNoiseCancelling() {
    NoiseCancellingMode mode{};
    simulator_.change(EventID::ambSetting, [&](HeadsetModel& m) {
        constexpr auto modes = allCases<NoiseCancellingMode>();
        const bool none = std::none_of(modes.begin(), modes.end(), [&](NoiseCancellingMode x) {
            return includes(m.ncToggle, x);
        });
        // The button goes round the modes the toggle includes (all of them if it includes
        // none), in table order.
        auto at = std::find(modes.begin(), modes.end(), m.ambient.mode);
        for (std::size_t i = 0; i < modes.size(); ++i) {
            at = (at == modes.end() || at + 1 == modes.end()) ? modes.begin() : at + 1;
            if (none || includes(m.ncToggle, *at)) break;
        }
        m.ambient.mode = *at;
        mode = *at;
    });
    print("lively: noise cancelling " + std::string(caseName(mode)));
}

}  // namespace avrane::sim
