#pragma once

#include <chrono>
#include <functional>

namespace avrane {

// Wall-clock time, for what a person reads: the battery's change time, time stamps in the
// log. Setting the system clock moves it.
using TimePoint = std::chrono::system_clock::time_point;
using NowFunction = std::function<TimePoint()>;

// Monotonic time, for everything the controller schedules (due times, back-off, echo
// windows): setting the system clock back an hour must not stall a sync by an hour. Both
// clocks are handed in, so that tests step time instead of waiting for it.
using SteadyClock = std::chrono::steady_clock;
using DueTime = SteadyClock::time_point;
using SteadyNowFunction = std::function<DueTime()>;

// Before any time the clock can tell: a due time set to it is due at once.
inline constexpr DueTime distantPast = DueTime::min();

}  // namespace avrane
