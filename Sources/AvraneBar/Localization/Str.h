#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <QString>

namespace avrane {

// Every text the interface shows, by key, each in English and Korean. Declared in groups by
// where the texts appear: connection status and header; battery and firmware; sound;
// microphone; noise cancelling; power and indicator; on/off words; language and quit; card
// titles; menu-bar options; quit confirmation; balance words; taskbar option; elapsed time;
// Bluetooth (headset side, then this computer); updates; the desktop's parts (a dongle this
// user may not open, start at login, low-battery alerts); the tray icon's colour; a desktop
// without a tray; a setting that could not be saved; a dongle another program holds. Some
// English texts repeat under different keys because their Korean texts or their places differ.
enum class Str : std::uint8_t {
    headset,
    noDongle,
    noDongleHint,
    headsetNotResponding,
    headsetNotRespondingHint,
    lookingForDongle,
    battery,
    firmware,
    firmwareHeadset,
    firmwareDongle,
    volume,
    gameChatBalance,
    balanceGame,
    balanceChat,
    balanceCentre,
    sidetone,
    microphone,
    micMuted,
    micLive,
    micHint,
    noiseCancelling,
    ancOff,
    ancNoiseCancelling,
    ancAmbientSound,
    ambientLevel,
    focusOnVoice,
    autoPowerOff,
    autoPowerOffOff,
    indicatorLight,
    on,
    off,
    language,
    quit,
    notReported,
    headsetModelName,
    soundCard,
    microphoneCard,
    noiseCancellingCard,
    powerCard,
    menuBarCard,
    mode,
    showBatteryPercentage,
    resetWindowSize,
    quitExplanation,
    quitConfirm,
    cancel,
    charging,
    ledHint,
    balanceTowardGame,
    balanceTowardChat,
    balanceEven,
    showVolume,
    showInDock,
    dockHint,
    justNow,
    bluetooth,
    linkPreference,
    whenPoweredOn,
    status,
    soundQualityPriority,
    connectionPriority,
    ancWhenPoweredOn,
    lastState,
    btNotConnected,
    btPairing,
    btConnected,
    thisMac,
    macConnectedAudioOnly,
    macPairedNotConnected,
    macNotPaired,
    macLinkHint,
    updates,
    checkAutomatically,
    intervalNever,
    intervalHourly,
    intervalSixHourly,
    intervalDaily,
    intervalWeekly,
    checkForUpdates,
    checking,
    upToDate,
    downloadAndInstall,
    downloading,
    openingInstaller,
    couldNotCheck,
    notCheckedYet,
    version,
    dongleNoAccess,
    dongleNoAccessHint,
    startAtLogin,
    lowBatteryAlerts,
    applicationName,
    batteryLowTitle,
    batteryLowBody,
    batteryCriticalTitle,
    batteryCriticalBody,
    trayIconColour,
    trayIconColourAutomatic,
    trayIconColourLight,
    trayIconColourDark,
    noTrayGnome,
    noTray,
    keepsRunningTitle,
    keepsRunningBody,
    settingNotSaved,
    notSavedReadOnly,
    notSavedNoSpace,
    dongleInUse,
    dongleInUseHint,
};

inline constexpr std::size_t strCount = 109;

// All keys in declaration order.
const std::array<Str, strCount>& allStrs();

// The key's identifier, for test and trace output.
std::string_view caseName(Str key);
QString en(Str key);
QString ko(Str key);

}  // namespace avrane
