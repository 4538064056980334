#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "AvraneKit/Support/Bytes.h"
#include "AvraneKit/Support/EnumTable.h"

// The single-byte settings. The enumerations decode and encode through decodePayload /
// encodePayload (Payload.h): the first param byte is the raw value, surplus bytes ignored.

namespace avrane {

// The raw value is the delay in minutes; after180Minutes goes on the wire as 0xB4.
enum class AutoPowerOff : std::uint8_t {
    off = 0,
    after5Minutes = 5,
    after15Minutes = 15,
    after30Minutes = 30,
    after60Minutes = 60,
    after180Minutes = 180,
};

enum class BluetoothSoundMode : std::uint8_t {
    connectionPriority = 0,
    soundQualityPriority = 1,
};

// What the headset's Bluetooth does after power-on.
enum class BluetoothStartupMode : std::uint8_t {
    off = 0,
    on = 1,
    lastState = 2,
};

// The noise-cancelling mode the headset starts in.
enum class NoiseCancellingStartupMode : std::uint8_t {
    off = 0,
    noiseCancelling = 1,
    ambientSound = 2,
    modeAtPowerOff = 3,
};

// The indicator light; any non-zero byte reads as on.
struct LEDSetting {
    bool isOn = false;

    bool operator==(const LEDSetting&) const = default;

    static std::optional<LEDSetting> decode(ByteView param) {
        if (param.empty()) return std::nullopt;
        return LEDSetting{param[0] != 0};
    }

    Bytes param() const { return {wireFlag(isOn)}; }
};

// The first param byte of any item, uninterpreted; for the raw accessors.
struct RawByteSetting {
    std::uint8_t value = 0;

    bool operator==(const RawByteSetting&) const = default;

    static std::optional<RawByteSetting> decode(ByteView param) {
        if (param.empty()) return std::nullopt;
        return RawByteSetting{param[0]};
    }

    Bytes param() const { return {value}; }
};

template <>
struct EnumTable<AutoPowerOff> {
    using A = AutoPowerOff;
    static constexpr std::array<EnumCase<A>, 6> cases{{
        {A::off, "off", "Off"},
        {A::after5Minutes, "after5Minutes", "5 min"},
        {A::after15Minutes, "after15Minutes", "15 min"},
        {A::after30Minutes, "after30Minutes", "30 min"},
        {A::after60Minutes, "after60Minutes", "60 min"},
        {A::after180Minutes, "after180Minutes", "180 min"},
    }};
};

template <>
struct EnumTable<BluetoothSoundMode> {
    using B = BluetoothSoundMode;
    static constexpr std::array<EnumCase<B>, 2> cases{{
        {B::connectionPriority, "connectionPriority", "Connection priority"},
        {B::soundQualityPriority, "soundQualityPriority", "Sound quality priority"},
    }};
};

template <>
struct EnumTable<BluetoothStartupMode> {
    using B = BluetoothStartupMode;
    static constexpr std::array<EnumCase<B>, 3> cases{{
        {B::off, "off", "Off"},
        {B::on, "on", "On"},
        {B::lastState, "lastState", "Last state"},
    }};
};

template <>
struct EnumTable<NoiseCancellingStartupMode> {
    using N = NoiseCancellingStartupMode;
    static constexpr std::array<EnumCase<N>, 4> cases{{
        {N::off, "off", "Off"},
        {N::noiseCancelling, "noiseCancelling", "Noise Cancelling"},
        {N::ambientSound, "ambientSound", "Ambient Sound"},
        {N::modeAtPowerOff, "modeAtPowerOff", "Mode at power off"},
    }};
};

}  // namespace avrane
