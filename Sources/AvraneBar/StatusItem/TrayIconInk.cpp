#include "AvraneBar/StatusItem/TrayIconInk.h"

#include <cmath>

#include <QStringList>

namespace avrane {
namespace {

double linear(std::uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The foreground when it stands out on the background, else the extreme that does.
Rgb legibleOn(Rgb background, const std::optional<Rgb>& foreground) {
    if (foreground && contrastRatio(*foreground, background) >= legibleContrast) return *foreground;
    return contrastingExtreme(background);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, Rgb c) {
    return out << "rgb(" << int(c.red) << ',' << int(c.green) << ',' << int(c.blue) << ')';
}

std::ostream& operator<<(std::ostream& out, const IconInk& ink) {
    out << "fill " << ink.fill;
    if (ink.outline) out << " outline " << *ink.outline;
    return out;
}

double relativeLuminance(Rgb c) {
    return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

double contrastRatio(Rgb a, Rgb b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb contrastingExtreme(Rgb background) {
    return contrastRatio(white, background) >= contrastRatio(black, background) ? white : black;
}

TrayDesktop trayDesktop(const QString& currentDesktop, bool gnomeShellOnBus) {
    const QStringList names = currentDesktop.split(u':', Qt::SkipEmptyParts);
    for (const QString& name : names) {
        if (name.compare(QLatin1String("GNOME-Classic"), Qt::CaseInsensitive) == 0) return TrayDesktop::gnomeClassic;
    }
    for (const QString& name : names) {
        if (name.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0) return TrayDesktop::plasma;
        if (name.compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0) return TrayDesktop::gnome;
    }
    // A session that does not say (started by hand, or from a script) but runs the shell.
    if (names.isEmpty() && gnomeShellOnBus) return TrayDesktop::gnome;
    return TrayDesktop::other;
}

IconInk iconInk(TrayIconColour choice, const TrayBackdrop& backdrop) {
    switch (choice) {
    case TrayIconColour::light: return {white, std::nullopt};
    case TrayIconColour::dark: return {black, std::nullopt};
    case TrayIconColour::automatic: break;
    }
    if (backdrop.behindIcon) return {legibleOn(*backdrop.behindIcon, backdrop.trayForeground), std::nullopt};
    if (backdrop.trayForeground) return {*backdrop.trayForeground, std::nullopt};
    switch (backdrop.desktop) {
    case TrayDesktop::gnome: return {white, std::nullopt};
    case TrayDesktop::gnomeClassic: return {black, std::nullopt};
    case TrayDesktop::plasma:
        if (backdrop.plasmaPanel) {
            return {legibleOn(backdrop.plasmaPanel->background, backdrop.plasmaPanel->foreground), std::nullopt};
        }
        break;
    case TrayDesktop::other: break;
    }
    return {white, black};
}

}  // namespace avrane
