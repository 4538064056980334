#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include <QString>

#include "AvraneBar/Preferences/TrayIconColour.h"

namespace avrane {

// An opaque sRGB colour.
struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;

    bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& out, Rgb colour);

inline constexpr Rgb white{255, 255, 255};
inline constexpr Rgb black{0, 0, 0};

// WCAG 2: the relative luminance (0 to 1) and the contrast ratio of two colours (1 to 21).
double relativeLuminance(Rgb colour);
double contrastRatio(Rgb a, Rgb b);
// White or black, whichever stands out more on `background`: at least 4.58:1 on any colour.
Rgb contrastingExtreme(Rgb background);

// The contrast the glyph and digits must reach against the bar (WCAG AA for text).
inline constexpr double legibleContrast = 4.5;

// The desktop whose bar holds the tray, as far as the bar's colour goes.
enum class TrayDesktop {
    other,
    gnome,         // GNOME Shell: its top bar is dark whatever the theme
    gnomeClassic,  // GNOME Classic: a light top bar
    plasma,        // KDE Plasma: its panel follows the Plasma style and the colour scheme
};

// From XDG_CURRENT_DESKTOP (a list such as "ubuntu:GNOME" or "GNOME-Classic:GNOME") and
// whether GNOME Shell holds its name on the session bus.
TrayDesktop trayDesktop(const QString& currentDesktop, bool gnomeShellOnBus);

// A bar's colours as its desktop states them.
struct BarColours {
    Rgb background;
    std::optional<Rgb> foreground;  // its text, when stated

    bool operator==(const BarColours&) const = default;
};

// What the desktop tells about the bar behind the tray icon.
struct TrayBackdrop {
    TrayDesktop desktop = TrayDesktop::other;
    std::optional<Rgb> trayForeground;  // an XEmbed tray's stated icon colour (_NET_SYSTEM_TRAY_COLORS)
    std::optional<Rgb> behindIcon;      // an XEmbed tray's own pixels around the icon
    std::optional<BarColours> plasmaPanel;

    bool operator==(const TrayBackdrop&) const = default;
};

// How the icon is drawn: the glyph and digits in `fill`; and where the bar's colour is not
// known, an `outline` around them that contrasts with the fill, so that on any bar one of the
// two stands out from it by 4.5:1 at least.
struct IconInk {
    Rgb fill;
    std::optional<Rgb> outline;

    bool operator==(const IconInk&) const = default;
};
std::ostream& operator<<(std::ostream& out, const IconInk& ink);

// Light and dark are the user's word for their bar. Automatic takes the first thing known:
// the colour an XEmbed tray states for its icons (unless the tray's own pixels show it would
// not stand out), the tray's pixels, GNOME's dark (or Classic's light) top bar, Plasma's panel
// colours; and otherwise a light icon (dark bars are the common case) with a dark outline.
IconInk iconInk(TrayIconColour choice, const TrayBackdrop& backdrop);

}  // namespace avrane
