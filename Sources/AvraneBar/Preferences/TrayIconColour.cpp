#include "AvraneBar/Preferences/TrayIconColour.h"

namespace avrane {

QString rawValue(TrayIconColour colour) {
    switch (colour) {
    case TrayIconColour::automatic: return QStringLiteral("automatic");
    case TrayIconColour::light: return QStringLiteral("light");
    case TrayIconColour::dark: return QStringLiteral("dark");
    }
    return {};
}

std::optional<TrayIconColour> trayIconColourFromRaw(QStringView raw) {
    for (const TrayIconColour colour : allTrayIconColours) {
        if (raw == rawValue(colour)) return colour;
    }
    return std::nullopt;
}

}  // namespace avrane
