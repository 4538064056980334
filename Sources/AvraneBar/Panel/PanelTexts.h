#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include <QString>

#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Localization/Localization.h"
#include "AvraneDefaults/SaveFailure.h"
#include "AvraneUpdate/UpdateChecker.h"

namespace avrane {

// The colour a text or the battery gauge is drawn in. The widgets take `secondary` from the
// palette and pick green, orange and red shades that read on light and dark themes.
enum class Tone { secondary, green, orange, red };

// A value label's text and colour.
struct ToneText {
    QString text;
    Tone tone = Tone::secondary;

    bool operator==(const ToneText&) const = default;
};

// The two header lines: the device (or why there is none) and its firmware (or a hint).
struct HeaderText {
    QString device;
    QString firmware;
    bool headsetPartsHidden = false;  // the four headset cards and the headset's Bluetooth rows

    bool operator==(const HeaderText&) const = default;
};

// The header's battery line and gauge.
struct BatteryLine {
    QString text;
    Tone tone = Tone::secondary;
    std::optional<std::uint8_t> gauge;  // nothing: the gauge is hidden
    bool charging = false;

    bool operator==(const BatteryLine&) const = default;
};

// The updates card's status row, its action button and the check button.
struct UpdateRow {
    ToneText status;
    std::optional<QString> toolTip;  // only a failure sets one
    std::optional<QString> action;   // the action button's title; nothing hides its row
    bool checkEnabled = true;

    bool operator==(const UpdateRow&) const = default;
};

namespace panel {

HeaderText headerText(const HeadsetSnapshot& snapshot, const Localization& texts);
// `now` decides whether the time since the last change of level is worth showing.
BatteryLine batteryLine(const HeadsetSnapshot& snapshot, const Localization& texts, TimePoint now);
// The battery text's colour: red at 14 % and below, orange up to 29 %, else secondary, and
// secondary while charging or when the level is unknown.
Tone batteryTone(std::optional<std::uint8_t> percent, bool charging);
// The gauge's fill: green while charging, else red under 15 %, orange under 30 %, green.
Tone gaugeTone(std::uint8_t percent, bool charging);
// The gauge's fill width in a bar `width` wide and `height` high: never narrower than a
// circle for a non-zero level; 0 for an empty battery.
double gaugeFillWidth(std::uint8_t percent, double width, double height);

// "Even", or the side the balance leans to and how far: "Game 0.5", "Chat 5.0".
QString balanceText(double uiValue, const Localization& texts);
// The headset's own Bluetooth radio: off, pairing, connected or not.
QString bluetoothStateText(const std::optional<BluetoothStatus>& status, const Localization& texts);
// The computer's own pairing with the headset.
ToneText computerLinkText(const MacBluetoothLink& link, const Localization& texts);
ToneText micText(bool muted, const Localization& texts);
UpdateRow updateRow(const UpdateChecker::State& state, const Localization& texts);
// One line on a choice that could not be saved, and why: "Setting not saved: ~/.config/avrane
// cannot be written". Folders in the home folder start with "~".
QString notSavedText(const SaveFailure& failure, const Localization& texts, const QString& home);

}  // namespace panel

std::ostream& operator<<(std::ostream& out, Tone tone);
std::ostream& operator<<(std::ostream& out, const ToneText& text);
std::ostream& operator<<(std::ostream& out, const BatteryLine& line);

}  // namespace avrane
