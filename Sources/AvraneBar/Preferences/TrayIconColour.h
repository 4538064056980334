#pragma once

#include <array>
#include <optional>

#include <QString>
#include <QStringView>

namespace avrane {

// The colour the tray icon is drawn in: chosen from what the desktop tells about its bar, or
// light or dark for a bar that the automatic choice gets wrong. Stored as its raw text.
enum class TrayIconColour {
    automatic,
    light,  // for a dark bar
    dark,   // for a light bar
};

// In the order the pop-up lists them.
inline constexpr std::array<TrayIconColour, 3> allTrayIconColours{TrayIconColour::automatic, TrayIconColour::light,
                                                                  TrayIconColour::dark};

// "automatic", "light", "dark".
QString rawValue(TrayIconColour colour);
// Exactly one of the raw texts, or nothing.
std::optional<TrayIconColour> trayIconColourFromRaw(QStringView raw);

}  // namespace avrane
