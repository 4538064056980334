#include "AvraneBar/Panel/PanelLabels.h"

#include "AvraneBar/Panel/PanelTexts.h"
#include "AvraneBar/Panel/PopUpLists.h"

namespace avrane::panel {

PanelLabels labels(const Localization& texts, const QString& version, UpdateCheckInterval interval,
                   TrayIconColour iconColour) {
    const auto t = [&](Str key) { return texts.text(key); };
    PanelLabels l;
    l.windowTitle = t(Str::headsetModelName);

    l.soundCard = t(Str::soundCard);
    l.microphoneCard = t(Str::microphoneCard);
    l.noiseCancellingCard = t(Str::noiseCancellingCard);
    l.bluetoothCard = t(Str::bluetooth);
    l.powerCard = t(Str::powerCard);
    l.menuBarCard = t(Str::menuBarCard);
    l.updatesCard = t(Str::updates);

    l.volume = t(Str::volume);
    l.balance = t(Str::gameChatBalance);
    l.balanceHint = t(Str::balanceGame) + QStringLiteral(" \u2190 \u2192 ") + t(Str::balanceChat);
    // Digits are equally wide in interface fonts: the ends are the widest values.
    l.balanceExtremes = {balanceText(-5, texts), balanceText(0, texts), balanceText(5, texts)};
    l.sidetone = t(Str::sidetone);
    l.micTitle = t(Str::microphone);
    l.micHint = t(Str::micHint);
    l.ancTitle = t(Str::mode);
    l.ambientLevel = t(Str::ambientLevel);
    l.voiceFocusTitle = t(Str::focusOnVoice);
    l.computerLinkTitle = t(Str::thisMac);
    l.computerLinkHint = t(Str::macLinkHint);
    l.btStateTitle = t(Str::status);
    l.btModeTitle = t(Str::linkPreference);
    l.btStartupTitle = t(Str::whenPoweredOn);
    l.ncStartupTitle = t(Str::ancWhenPoweredOn);
    l.autoPowerOffTitle = t(Str::autoPowerOff);
    l.ledTitle = t(Str::indicatorLight);
    l.ledHint = t(Str::ledHint);
    l.batteryTextTitle = t(Str::showBatteryPercentage);
    l.volumeTextTitle = t(Str::showVolume);
    l.dockTitle = t(Str::showInDock);
    l.dockHint = t(Str::dockHint);
    l.startAtLoginTitle = t(Str::startAtLogin);
    l.lowBatteryAlertsTitle = t(Str::lowBatteryAlerts);
    l.trayIconColourTitle = t(Str::trayIconColour);
    l.updateIntervalTitle = t(Str::checkAutomatically);
    l.updateStatusTitle = t(Str::status);

    l.languageLabel = t(Str::language);
    l.resetSize = t(Str::resetWindowSize);
    l.checkForUpdates = t(Str::checkForUpdates);
    l.quit = t(Str::quit);
    l.version = t(Str::version) + u' ' + version;
    l.quitExplanation = t(Str::quitExplanation);
    l.quitConfirm = t(Str::quitConfirm);
    l.cancel = t(Str::cancel);

    l.ancItems = ancTitles(texts);
    l.autoPowerOffItems = autoPowerOffTitles(texts);
    l.btModeItems = btModeTitles(texts);
    l.btStartupItems = btStartupTitles(texts);
    l.ncStartupItems = ncStartupTitles(texts);
    l.updateIntervalItems = updateIntervalTitles(texts);
    l.languageItems = languageTitles(texts);
    l.trayIconColourItems = trayIconColourTitles(texts);
    l.updateIntervalIndex = indexIn(allUpdateCheckIntervals, interval).value_or(-1);
    l.languageIndex = indexIn(allLanguages, texts.language()).value_or(-1);
    l.trayIconColourIndex = indexIn(allTrayIconColours, iconColour).value_or(-1);
    return l;
}

}  // namespace avrane::panel
