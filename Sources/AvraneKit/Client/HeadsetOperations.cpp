#include "AvraneKit/Client/HeadsetClient.h"

#include <stdexcept>

#include "AvraneKit/Settings/WritableItems.h"

namespace avrane {

ModelInfo HeadsetClient::modelInfo() { return readItem<ModelInfo>(EventID::modelInfo); }

FirmwareVersion HeadsetClient::firmwareVersion() {
    return readItem<FirmwareVersion>(EventID::fwVersion);
}

BatteryInfo HeadsetClient::batteryInfo() { return readItem<BatteryInfo>(EventID::batteryInfo); }

HeadsetClient::AllSettings HeadsetClient::allSettings() {
    // Sequenced statements, not one braced initialiser, to keep the request order obvious.
    auto part1 = readItem<AllFunctionSettingsPart1>(EventID::allFunctionSettingsPart1);
    auto part2 = readItem<AllFunctionSettingsPart2>(EventID::allFunctionSettingsPart2);
    auto part3 = readItem<AllFunctionSettingsPart3>(EventID::allFunctionSettingsPart3);
    return AllSettings{part1, part2, part3};
}

HeadphoneVolume HeadsetClient::headphoneVolume() {
    return readItem<HeadphoneVolume>(EventID::headphoneVolume);
}

GameChatBalance HeadsetClient::gameChatBalance() {
    return readItem<GameChatBalance>(EventID::gameChatMixBalance);
}

SidetoneVolume HeadsetClient::sidetoneVolume() {
    return readItem<SidetoneVolume>(EventID::sidetoneVolume);
}

MicrophoneVolume HeadsetClient::microphoneVolume() {
    return readItem<MicrophoneVolume>(EventID::micVolume);
}

AmbientSetting HeadsetClient::ambientSetting() {
    return readItem<AmbientSetting>(EventID::ambSetting);
}

NCToggleSetting HeadsetClient::ncToggleSetting() {
    return readItem<NCToggleSetting>(EventID::ncToggleSetting);
}

NoiseCancellingStartupMode HeadsetClient::ncStartupMode() {
    return readItem<NoiseCancellingStartupMode>(EventID::ncStartupMode);
}

BluetoothStatus HeadsetClient::bluetoothStatus() {
    return readItem<BluetoothStatus>(EventID::btStatus);
}

BluetoothSoundMode HeadsetClient::bluetoothSoundMode() {
    return readItem<BluetoothSoundMode>(EventID::btSoundQuality);
}

BluetoothStartupMode HeadsetClient::bluetoothStartupMode() {
    return readItem<BluetoothStartupMode>(EventID::btStartupMode);
}

AutoPowerOff HeadsetClient::autoPowerOff() {
    return readItem<AutoPowerOff>(EventID::autoPowerOffSetting);
}

LEDSetting HeadsetClient::ledSetting() { return readItem<LEDSetting>(EventID::ledSetting); }

RawByteSetting HeadsetClient::rawSetting(EventID eventID) {
    return readItem<RawByteSetting>(eventID);
}

Bytes HeadsetClient::rawParam(EventID eventID) {
    return exchange(eventID, EventType::get).param;
}

void HeadsetClient::setRawParam(EventID eventID, ByteView param) {
    if (const auto refusal = rawWriteRefusal(eventID, param)) throw std::invalid_argument(*refusal);
    exchange(eventID, EventType::set, Bytes(param.begin(), param.end()), 1);
}

void HeadsetClient::setHeadphoneVolume(const HeadphoneVolume& value) {
    writeItem(EventID::headphoneVolume, value);
}

void HeadsetClient::setGameChatBalance(const GameChatBalance& value) {
    writeItem(EventID::gameChatMixBalance, value);
}

void HeadsetClient::setSidetoneVolume(const SidetoneVolume& value) {
    writeItem(EventID::sidetoneVolume, value);
}

void HeadsetClient::setAmbientSetting(const AmbientSetting& value) {
    writeItem(EventID::ambSetting, value);
}

void HeadsetClient::setNoiseCancellingMode(NoiseCancellingMode mode) {
    // Level, reported percentage and voice focus go back as the headset has them now.
    AmbientSetting setting = ambientSetting();
    setting.mode = mode;
    setAmbientSetting(setting);
}

void HeadsetClient::setNCToggleSetting(const NCToggleSetting& value) {
    writeItem(EventID::ncToggleSetting, value);
}

void HeadsetClient::setAutoPowerOff(AutoPowerOff value) {
    writeItem(EventID::autoPowerOffSetting, value);
}

void HeadsetClient::setLEDSetting(const LEDSetting& value) {
    writeItem(EventID::ledSetting, value);
}

void HeadsetClient::setBluetoothSoundMode(BluetoothSoundMode value) {
    writeItem(EventID::btSoundQuality, value);
}

void HeadsetClient::setBluetoothStartupMode(BluetoothStartupMode value) {
    writeItem(EventID::btStartupMode, value);
}

void HeadsetClient::setNCStartupMode(NoiseCancellingStartupMode value) {
    writeItem(EventID::ncStartupMode, value);
}

}  // namespace avrane
