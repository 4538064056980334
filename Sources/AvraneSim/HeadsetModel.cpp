#include "AvraneSim/HeadsetModel.h"

#include "AvraneKit/Settings/Payload.h"

namespace avrane::sim {
namespace {

// The bulk parts have decoders only; their layouts are concatenations of the single items.
void append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

Bytes modelInfoParam(const ModelInfo& info) {
    return {info.modelID,
            info.destination,
            static_cast<std::uint8_t>(info.serialNumber & 0xFF),
            static_cast<std::uint8_t>(info.serialNumber >> 8),
            info.colorCode,
            info.statusCode};
}

// One little-endian word: major in bits 0-7, minor in bits 8-19, build in bits 20-31.
void appendVersion(Bytes& out, const FirmwareVersion::Version& v) {
    out.push_back(v.major);
    out.push_back(static_cast<std::uint8_t>(v.minor & 0xFF));
    out.push_back(static_cast<std::uint8_t>(((v.minor >> 8) & 0x0F) | ((v.build & 0x0F) << 4)));
    out.push_back(static_cast<std::uint8_t>((v.build >> 4) & 0xFF));
}

Bytes batteryParam(const BatteryInfo& battery) {
    // A level the headset cannot report goes out as 0xFF, which reads back as absent.
    return {battery.statusCode, battery.percent.value_or(0xFF)};
}

Bytes bluetoothParam(const BluetoothStatus& status) {
    return {status.power ? rawValue(*status.power) : std::uint8_t{0xFF},
            status.link ? rawValue(*status.link) : std::uint8_t{0xFF}};
}

template <class T>
bool store(T& field, ByteView param) {
    auto value = decodePayload<T>(param);
    if (!value) return false;
    field = *value;
    return true;
}

}  // namespace

std::optional<Bytes> HeadsetModel::param(EventID item) const {
    switch (item) {
        case EventID::modelInfo: return modelInfoParam(modelInfo);
        case EventID::fwVersion: {
            Bytes out;
            appendVersion(out, firmware.headset);
            appendVersion(out, firmware.dongle);
            return out;
        }
        case EventID::batteryInfo: return batteryParam(battery);
        case EventID::allFunctionSettingsPart1: {
            Bytes out{modelInfo.modelID};
            append(out, batteryParam(battery));
            append(out, encodePayload(headphoneVolume));
            append(out, encodePayload(gameChatBalance));
            append(out, encodePayload(sidetoneVolume));
            return out;
        }
        case EventID::allFunctionSettingsPart2: {
            Bytes out = encodePayload(microphoneVolume);
            append(out, encodePayload(ambient));
            append(out, encodePayload(ncToggle));
            return out;
        }
        case EventID::allFunctionSettingsPart3: {
            Bytes out{rawValue(ncStartupMode)};
            append(out, bluetoothParam(bluetooth));
            out.push_back(rawValue(bluetoothSoundMode));
            out.push_back(rawValue(bluetoothStartupMode));
            out.push_back(rawValue(autoPowerOff));
            out.push_back(wireFlag(led.isOn));
            return out;
        }
        case EventID::headphoneVolume: return encodePayload(headphoneVolume);
        case EventID::gameChatMixBalance: return encodePayload(gameChatBalance);
        case EventID::sidetoneVolume: return encodePayload(sidetoneVolume);
        case EventID::micVolume: return encodePayload(microphoneVolume);
        case EventID::ambSetting: return encodePayload(ambient);
        case EventID::ncToggleSetting: return encodePayload(ncToggle);
        case EventID::ncStartupMode: return encodePayload(ncStartupMode);
        case EventID::btStatus: return bluetoothParam(bluetooth);
        case EventID::btSoundQuality: return encodePayload(bluetoothSoundMode);
        case EventID::btStartupMode: return encodePayload(bluetoothStartupMode);
        case EventID::autoPowerOffSetting: return encodePayload(autoPowerOff);
        case EventID::ledSetting: return encodePayload(led);
        default: break;
    }
    const auto other = otherItems.find(item);
    if (other == otherItems.end()) return std::nullopt;
    return other->second;
}

bool HeadsetModel::apply(EventID item, ByteView param) {
    switch (item) {
        case EventID::headphoneVolume: return store(headphoneVolume, param);
        case EventID::gameChatMixBalance: return store(gameChatBalance, param);
        case EventID::sidetoneVolume: return store(sidetoneVolume, param);
        case EventID::ambSetting: return store(ambient, param);
        case EventID::ncToggleSetting: return store(ncToggle, param);
        case EventID::ncStartupMode: return store(ncStartupMode, param);
        case EventID::btSoundQuality: return store(bluetoothSoundMode, param);
        case EventID::btStartupMode: return store(bluetoothStartupMode, param);
        case EventID::autoPowerOffSetting: return store(autoPowerOff, param);
        case EventID::ledSetting: return store(led, param);
        // Read-only: device information, the bulk parts, battery, microphone volume (set on
        // the headset only) and the Bluetooth link.
        case EventID::modelInfo:
        case EventID::fwVersion:
        case EventID::batteryInfo:
        case EventID::allFunctionSettingsPart1:
        case EventID::allFunctionSettingsPart2:
        case EventID::allFunctionSettingsPart3:
        case EventID::micVolume:
        case EventID::btStatus:
            return false;
        default:
            otherItems[item] = Bytes(param.begin(), param.end());
            return true;
    }
}

}  // namespace avrane::sim
