#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"
#include "AvraneBar/Controller/ControllerClock.h"
#include "AvraneKit/Discovery/DiscoveredDongle.h"
#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/BluetoothStatus.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/FirmwareVersion.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/ModelInfo.h"
#include "AvraneKit/Settings/VolumeSettings.h"

namespace avrane {

// The one value through which the application sees the headset. The controller replaces it
// whole and hands out copies. An absent field is not known: not read yet, lost with a
// failure, or not reported by the headset.
struct HeadsetSnapshot {
    // Whether the dongle and the headset can be reached; when not, the failure's text (its
    // description, English, for the log; the interface shows its own words per case).
    class Availability {
    public:
        enum class Kind : std::uint8_t { noDongle, headsetUnreachable, connected };

        // No usable dongle: none found yet, or connecting to it failed. `accessDenied`: the
        // dongle's device is there but this user may not open it (the system's text for that
        // is in the user's language, so the case is told apart here, not by the text).
        static Availability noDongle(std::string text, bool accessDenied = false) {
            return Availability(Kind::noDongle, std::move(text), accessDenied ? Obstacle::accessDenied : Obstacle::none);
        }
        // The dongle's device is there but another program holds it (its lock, or the
        // terminal's exclusive mode).
        static Availability dongleInUse(std::string text) {
            return Availability(Kind::noDongle, std::move(text), Obstacle::inUse);
        }
        // A dongle is (or was just) open but the headset did not answer.
        static Availability headsetUnreachable(std::string text) {
            return Availability(Kind::headsetUnreachable, std::move(text));
        }
        // The last full read succeeded.
        static Availability connected() { return Availability(Kind::connected, {}); }

        Kind kind() const { return kind_; }
        // Empty for `connected`.
        const std::string& text() const { return text_; }
        bool accessDenied() const { return obstacle_ == Obstacle::accessDenied; }
        bool inUse() const { return obstacle_ == Obstacle::inUse; }

        bool operator==(const Availability&) const = default;

    private:
        // What keeps a dongle that is there from being used.
        enum class Obstacle : std::uint8_t { none, accessDenied, inUse };

        Availability(Kind kind, std::string text, Obstacle obstacle = Obstacle::none)
            : kind_(kind), text_(std::move(text)), obstacle_(obstacle) {}

        Kind kind_;
        std::string text_;
        Obstacle obstacle_;
    };

    // Shown until the first connect attempt has an outcome. Ends in U+2026.
    static constexpr std::string_view lookingForDongle = "Looking for dongle\u2026";

    Availability availability = Availability::noDongle(std::string(lookingForDongle));
    std::optional<std::string> dongleName;  // the DongleModel's name
    // The dongle in use, or last in use: its device and serial number too.
    std::optional<DiscoveredDongle> dongle;
    std::optional<ModelInfo> model;
    std::optional<FirmwareVersion> firmware;
    std::optional<std::uint8_t> batteryPercent;
    std::optional<bool> batteryCharging;
    // When batteryPercent last took a different value (absent and present count as values).
    std::optional<TimePoint> batteryLevelChangedAt;
    std::optional<HeadphoneVolume> volume;
    std::optional<GameChatBalance> balance;
    std::optional<SidetoneVolume> sidetone;
    std::optional<bool> micMuted;
    std::optional<AmbientSetting> ambient;
    std::optional<BluetoothStatus> bluetooth;  // the headset's own radio
    std::optional<BluetoothSoundMode> bluetoothSoundMode;
    std::optional<BluetoothStartupMode> bluetoothStartupMode;
    std::optional<NoiseCancellingStartupMode> ncStartupMode;
    MacBluetoothLink macBluetooth;  // the computer's own pairing with the headset
    std::optional<AutoPowerOff> autoPowerOff;
    std::optional<LEDSetting> led;

    bool operator==(const HeadsetSnapshot&) const = default;
};

}  // namespace avrane
