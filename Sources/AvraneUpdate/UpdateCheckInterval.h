#pragma once

#include <array>
#include <optional>

#include <QString>
#include <QStringView>

namespace avrane {

// How often automatic update checks run. Stored in the user defaults as its raw text.
enum class UpdateCheckInterval {
    never,
    hourly,
    sixHourly,
    daily,
    weekly,
};

// In the order the interval menu lists them.
inline constexpr std::array<UpdateCheckInterval, 5> allUpdateCheckIntervals{
    UpdateCheckInterval::never, UpdateCheckInterval::hourly, UpdateCheckInterval::sixHourly,
    UpdateCheckInterval::daily, UpdateCheckInterval::weekly,
};

// "never", "hourly", "sixHourly", "daily", "weekly".
QString rawValue(UpdateCheckInterval interval);
// Exactly one of the raw texts (case-sensitive), or nothing.
std::optional<UpdateCheckInterval> updateCheckIntervalFromRaw(QStringView raw);
// The interval's length; nothing for `never`.
std::optional<double> seconds(UpdateCheckInterval interval);

}  // namespace avrane
