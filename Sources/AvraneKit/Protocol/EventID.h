#pragma once

#include <array>
#include <cstdint>

#include "AvraneKit/Support/EnumTable.h"

namespace avrane {

// The item a frame is about. Raw values come in groups: 0x01-0x09 device information and
// bulk reads, 0x21-0x25 sound, 0x41-0x43 noise cancelling, 0x61-0x63 the headset's own
// Bluetooth, 0x81-0x8F power, indicator and further functions, 0xA0 firmware update.
enum class EventID : std::uint8_t {
    connectStatus2GHz = 0x01,
    modelInfo = 0x02,
    fwVersion = 0x03,
    batteryInfo = 0x04,
    hostSelectSwitch = 0x05,
    allFunctionSettingsPart1 = 0x06,
    allFunctionSettingsPart2 = 0x07,
    allFunctionSettingsPart3 = 0x08,
    bootStatus = 0x09,
    headphoneVolume = 0x21,
    gameChatMixBalance = 0x22,
    sidetoneVolume = 0x23,
    micVolume = 0x24,
    surroundSetting = 0x25,
    ambSetting = 0x41,
    ncToggleSetting = 0x42,
    ncStartupMode = 0x43,
    btStatus = 0x61,
    btSoundQuality = 0x62,
    btStartupMode = 0x63,
    autoPowerOffSetting = 0x81,
    ledSetting = 0x82,
    vpLanguageSetting = 0x83,
    guidanceSetting = 0x84,
    connectionDestinationMode = 0x85,
    wearingStatusDetectorCapability = 0x86,
    wearingStatusDetectorStatus = 0x87,
    wearingStatusDetectorParam = 0x88,
    wearingStatusDetectorExtendedParam = 0x89,
    impressInfo = 0x8A,
    impressData = 0x8B,
    assignableSettingsCapability = 0x8C,
    assignableSettingsParam = 0x8D,
    incomingPermissionSetting = 0x8E,
    micAttachedStatus = 0x8F,
    updateFirmware = 0xA0,
};

// Requests for these two items go to the dongle itself; everything else is passed on to
// the headset.
constexpr bool livesOnTransmitter(EventID id) {
    return id == EventID::connectStatus2GHz || id == EventID::bootStatus;
}

template <>
struct EnumTable<EventID> {
    static constexpr std::array<EnumCase<EventID>, 36> cases{{
        {EventID::connectStatus2GHz, "connectStatus2GHz"},
        {EventID::modelInfo, "modelInfo"},
        {EventID::fwVersion, "fwVersion"},
        {EventID::batteryInfo, "batteryInfo"},
        {EventID::hostSelectSwitch, "hostSelectSwitch"},
        {EventID::allFunctionSettingsPart1, "allFunctionSettingsPart1"},
        {EventID::allFunctionSettingsPart2, "allFunctionSettingsPart2"},
        {EventID::allFunctionSettingsPart3, "allFunctionSettingsPart3"},
        {EventID::bootStatus, "bootStatus"},
        {EventID::headphoneVolume, "headphoneVolume"},
        {EventID::gameChatMixBalance, "gameChatMixBalance"},
        {EventID::sidetoneVolume, "sidetoneVolume"},
        {EventID::micVolume, "micVolume"},
        {EventID::surroundSetting, "surroundSetting"},
        {EventID::ambSetting, "ambSetting"},
        {EventID::ncToggleSetting, "ncToggleSetting"},
        {EventID::ncStartupMode, "ncStartupMode"},
        {EventID::btStatus, "btStatus"},
        {EventID::btSoundQuality, "btSoundQuality"},
        {EventID::btStartupMode, "btStartupMode"},
        {EventID::autoPowerOffSetting, "autoPowerOffSetting"},
        {EventID::ledSetting, "ledSetting"},
        {EventID::vpLanguageSetting, "vpLanguageSetting"},
        {EventID::guidanceSetting, "guidanceSetting"},
        {EventID::connectionDestinationMode, "connectionDestinationMode"},
        {EventID::wearingStatusDetectorCapability, "wearingStatusDetectorCapability"},
        {EventID::wearingStatusDetectorStatus, "wearingStatusDetectorStatus"},
        {EventID::wearingStatusDetectorParam, "wearingStatusDetectorParam"},
        {EventID::wearingStatusDetectorExtendedParam, "wearingStatusDetectorExtendedParam"},
        {EventID::impressInfo, "impressInfo"},
        {EventID::impressData, "impressData"},
        {EventID::assignableSettingsCapability, "assignableSettingsCapability"},
        {EventID::assignableSettingsParam, "assignableSettingsParam"},
        {EventID::incomingPermissionSetting, "incomingPermissionSetting"},
        {EventID::micAttachedStatus, "micAttachedStatus"},
        {EventID::updateFirmware, "updateFirmware"},
    }};
};

}  // namespace avrane
