#include "AvraneUpdate/UpdateCheckInterval.h"

namespace avrane {

QString rawValue(UpdateCheckInterval interval) {
    switch (interval) {
    case UpdateCheckInterval::never: return QStringLiteral("never");
    case UpdateCheckInterval::hourly: return QStringLiteral("hourly");
    case UpdateCheckInterval::sixHourly: return QStringLiteral("sixHourly");
    case UpdateCheckInterval::daily: return QStringLiteral("daily");
    case UpdateCheckInterval::weekly: return QStringLiteral("weekly");
    }
    return {};
}

std::optional<UpdateCheckInterval> updateCheckIntervalFromRaw(QStringView raw) {
    for (const auto interval : allUpdateCheckIntervals) {
        if (raw == rawValue(interval)) return interval;
    }
    return std::nullopt;
}

std::optional<double> seconds(UpdateCheckInterval interval) {
    switch (interval) {
    case UpdateCheckInterval::never: return std::nullopt;
    case UpdateCheckInterval::hourly: return 3600;
    case UpdateCheckInterval::sixHourly: return 21600;
    case UpdateCheckInterval::daily: return 86400;
    case UpdateCheckInterval::weekly: return 604800;
    }
    return std::nullopt;
}

}  // namespace avrane
