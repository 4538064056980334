#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include <QStringList>

#include "AvraneBar/Localization/Localization.h"
#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/ByteSettings.h"

namespace avrane::panel {

// The values behind each pop-up's items, in menu order. The Bluetooth sound mode lists sound
// quality first, although the headset numbers connection priority first.
inline constexpr std::array ancModes{NoiseCancellingMode::off, NoiseCancellingMode::noiseCancelling,
                                     NoiseCancellingMode::ambientSound};
inline constexpr std::array autoPowerOffChoices{AutoPowerOff::off, AutoPowerOff::after5Minutes,
                                                AutoPowerOff::after15Minutes, AutoPowerOff::after30Minutes,
                                                AutoPowerOff::after60Minutes, AutoPowerOff::after180Minutes};
inline constexpr std::array btModes{BluetoothSoundMode::soundQualityPriority, BluetoothSoundMode::connectionPriority};
inline constexpr std::array btStartups{BluetoothStartupMode::off, BluetoothStartupMode::on,
                                       BluetoothStartupMode::lastState};
inline constexpr std::array ncStartups{NoiseCancellingStartupMode::off, NoiseCancellingStartupMode::noiseCancelling,
                                       NoiseCancellingStartupMode::ambientSound,
                                       NoiseCancellingStartupMode::modeAtPowerOff};

// The item showing `value`, or nothing for a value the menu does not offer.
template <class T, std::size_t N>
std::optional<int> indexIn(const std::array<T, N>& list, T value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (list[i] == value) return static_cast<int>(i);
    }
    return std::nullopt;
}

// The value of item `index`, or nothing when no item is selected (-1) or the index is past
// the list.
template <class T, std::size_t N>
std::optional<T> entryAt(const std::array<T, N>& list, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return std::nullopt;
    return list[static_cast<std::size_t>(index)];
}

// Item titles in the current language, built afresh at every relabel.
QStringList ancTitles(const Localization& texts);
QStringList autoPowerOffTitles(const Localization& texts);
QStringList btModeTitles(const Localization& texts);
QStringList btStartupTitles(const Localization& texts);
QStringList ncStartupTitles(const Localization& texts);
QStringList updateIntervalTitles(const Localization& texts);
QStringList languageTitles(const Localization& texts);
QStringList trayIconColourTitles(const Localization& texts);

}  // namespace avrane::panel
