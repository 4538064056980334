#pragma once

#include <QString>
#include <QStringList>

#include "AvraneBar/Localization/Localization.h"
#include "AvraneBar/Preferences/TrayIconColour.h"
#include "AvraneUpdate/UpdateCheckInterval.h"

namespace avrane {

// Every fixed text of the panel in the current language: window and card titles, row titles
// and hints, footer texts, and the pop-ups' items with the two selections that come from the
// settings rather than from the headset.
struct PanelLabels {
    QString windowTitle;

    QString soundCard, microphoneCard, noiseCancellingCard, bluetoothCard, powerCard, menuBarCard, updatesCard;

    QString volume, balance, balanceHint, sidetone;
    QStringList balanceExtremes;  // the balance's texts at both ends and in the centre
    QString micTitle, micHint;
    QString ancTitle, ambientLevel, voiceFocusTitle;
    QString computerLinkTitle, computerLinkHint, btStateTitle, btModeTitle, btStartupTitle;
    QString ncStartupTitle, autoPowerOffTitle, ledTitle, ledHint;
    QString batteryTextTitle, volumeTextTitle, dockTitle, dockHint, startAtLoginTitle, lowBatteryAlertsTitle;
    QString trayIconColourTitle;
    QString updateIntervalTitle, updateStatusTitle;

    QString languageLabel, resetSize, checkForUpdates, quit, version;
    QString quitExplanation, quitConfirm, cancel;

    QStringList ancItems, autoPowerOffItems, btModeItems, btStartupItems, ncStartupItems;
    QStringList updateIntervalItems, languageItems, trayIconColourItems;
    int updateIntervalIndex = -1;  // the stored interval
    int languageIndex = -1;        // the chosen language
    int trayIconColourIndex = -1;  // the stored tray icon colour

    bool operator==(const PanelLabels&) const = default;
};

namespace panel {

// `version`: the running program's version text; `interval`: the stored update interval;
// `iconColour`: the stored tray icon colour.
PanelLabels labels(const Localization& texts, const QString& version, UpdateCheckInterval interval,
                   TrayIconColour iconColour = TrayIconColour::automatic);

}  // namespace panel
}  // namespace avrane
