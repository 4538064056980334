#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "AvraneKit/Client/HeadsetClient.h"
#include "AvraneKit/Client/HeadsetState.h"

namespace avrane {

// A setting's value in the words `get` prints and `set` takes ("15", "-2.5", "nc").
struct SettingValue {
    std::string text;
    bool isNumber = false;  // JSON writes it as a number rather than a string
    std::string note;       // what status adds in brackets: "50 %, muted"
};

// A write checked and ready to go: everything about the value was settled before the
// headset is touched.
using SettingWrite = std::function<void(HeadsetClient&)>;

// One row of the table of the settings that the panel, avranectl and the application's
// D-Bus service know by name.
struct Setting {
    std::string_view name;
    std::string_view accepted;  // the values `set` takes, for help and error texts
    // The item a write of the setting changes: its notifications for the next second are
    // the write's own echo.
    EventID item;
    // One typed read that fills the fields `show` looks at.
    void (*read)(HeadsetClient& client, HeadsetState& state);
    // The value as found in `state`; nothing when the headset did not report it.
    std::optional<SettingValue> (*show)(const HeadsetState& state);
    // The write for a value as typed, or nothing when the value is not accepted. Null for
    // settings that can only be read. Writes that change one field of a record read the
    // record first and write it back whole.
    std::optional<SettingWrite> (*parse)(std::string_view value);
    // A value's words as `show` writes them, read back (without the note), or nothing for
    // text `show` never writes: for words from elsewhere, such as the running application.
    std::optional<SettingValue> (*word)(std::string_view text);
};

// In the order help and status list them.
std::span<const Setting> settingTable();
const Setting* findSetting(std::string_view name);
// The name of the setting's property on the application's D-Bus service, whose names cannot
// hold a dash: "ambient-level" is AmbientLevel.
std::string propertyName(std::string_view settingName);

// The writes behind the settings, for callers that hold the value itself (the panel's
// controls). One that changes a field of a record reads the record and writes it back whole,
// all at the time of the write.
namespace settingWrites {
SettingWrite headphoneVolume(std::uint8_t level);
// -5.0 (game) to 5.0 (chat); ten steps a unit, halves away from zero.
SettingWrite balance(double uiValue);
SettingWrite sidetone(std::uint8_t level);
SettingWrite noiseCancelling(NoiseCancellingMode mode);
SettingWrite ambientLevel(std::uint8_t level);
SettingWrite voiceFocus(bool on);
SettingWrite autoPowerOff(AutoPowerOff delay);
SettingWrite led(bool on);
SettingWrite bluetoothSound(BluetoothSoundMode mode);
SettingWrite bluetoothStartup(BluetoothStartupMode mode);
SettingWrite ncStartup(NoiseCancellingStartupMode mode);
}  // namespace settingWrites

}  // namespace avrane
