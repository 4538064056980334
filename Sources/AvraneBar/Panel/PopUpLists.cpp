#include "AvraneBar/Panel/PopUpLists.h"

#include "AvraneBar/Preferences/TrayIconColour.h"
#include "AvraneKit/Support/EnumTable.h"
#include "AvraneUpdate/UpdateCheckInterval.h"

namespace avrane::panel {
namespace {

QStringList titles(const Localization& texts, std::initializer_list<Str> keys) {
    QStringList list;
    for (const Str key : keys) list << texts.text(key);
    return list;
}

}  // namespace

QStringList ancTitles(const Localization& texts) {
    return titles(texts, {Str::ancOff, Str::ancNoiseCancelling, Str::ancAmbientSound});
}

QStringList autoPowerOffTitles(const Localization& texts) {
    QStringList list;
    for (const AutoPowerOff choice : autoPowerOffChoices) list << texts.minutes(rawValue(choice));
    return list;
}

QStringList btModeTitles(const Localization& texts) {
    return titles(texts, {Str::soundQualityPriority, Str::connectionPriority});
}

QStringList btStartupTitles(const Localization& texts) {
    return titles(texts, {Str::off, Str::on, Str::lastState});
}

QStringList ncStartupTitles(const Localization& texts) {
    return titles(texts, {Str::ancOff, Str::ancNoiseCancelling, Str::ancAmbientSound, Str::lastState});
}

QStringList updateIntervalTitles(const Localization& texts) {
    static_assert(allUpdateCheckIntervals.size() == 5);
    return titles(texts, {Str::intervalNever, Str::intervalHourly, Str::intervalSixHourly, Str::intervalDaily,
                          Str::intervalWeekly});
}

QStringList languageTitles(const Localization& texts) {
    QStringList list;
    for (const Language language : allLanguages) list << texts.menuLabel(language);
    return list;
}

QStringList trayIconColourTitles(const Localization& texts) {
    static_assert(allTrayIconColours.size() == 3);
    return titles(texts, {Str::trayIconColourAutomatic, Str::trayIconColourLight, Str::trayIconColourDark});
}

}  // namespace avrane::panel
