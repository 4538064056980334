#pragma once

#include <chrono>
#include <functional>

namespace avrane {

// Points in time the controller schedules by and shows (the battery's change time). The
// clock is handed in, so that tests step time instead of waiting for it.
using TimePoint = std::chrono::system_clock::time_point;
using NowFunction = std::function<TimePoint()>;

// Before any time the clock can tell: a due time set to it is due at once.
inline constexpr TimePoint distantPast = TimePoint::min();

inline TimePoint later(TimePoint from, double seconds) {
    return from + std::chrono::duration_cast<TimePoint::duration>(
                      std::chrono::duration<double>(seconds));
}

}  // namespace avrane
