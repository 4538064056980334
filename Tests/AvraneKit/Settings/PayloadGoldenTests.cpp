#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/BatteryInfo.h"
#include "AvraneKit/Settings/BluetoothStatus.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/FirmwareVersion.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/ModelInfo.h"
#include "AvraneKit/Settings/NCToggleSetting.h"
#include "AvraneKit/Settings/VolumeSettings.h"
#include "PayloadRows.h"

namespace avrane {
namespace {

using testing::checkRows;
using testing::PayloadRow;
using Power = BluetoothStatus::Power;
using Link = BluetoothStatus::Link;

TEST(DeviceInformationPayloads, DecodeGoldenParams) {
    checkRows<ModelInfo>({
        {"H9", "00 01 34 12 02 00", ModelInfo{0, 1, 0x1234, 2, 0}},
        {"seventh byte ignored", "01 00 00 00 00 00 FF", ModelInfo{1, 0, 0, 0, 0}},
        {"five bytes", "00 01 34 12 02", std::nullopt},
    });
    checkRows<FirmwareVersion>({
        {"headset and dongle", "02 01 50 00 03 02 00 01",
         FirmwareVersion{{2, 1, 5}, {3, 2, 16}}},
        {"widest fields", "FF FF FF FF 00 00 00 00", FirmwareVersion{{255, 4095, 4095}, {0, 0, 0}}},
        {"seven bytes", "02 01 50 00 03 02 00", std::nullopt},
    });
    checkRows<BatteryInfo>({
        {"charging at 100", "01 64", BatteryInfo{1, 100}},
        {"level above 100", "00 65", BatteryInfo{0, std::nullopt}},
        {"error has no level", "02 32", BatteryInfo{2, std::nullopt}},
        {"unknown status keeps its level", "07 32", BatteryInfo{7, 50}},
        {"one byte", "01", std::nullopt},
    });
    checkRows<BluetoothStatus>({
        {"unknown power", "05 01", BluetoothStatus{std::nullopt, Link::connected}},
        {"unknown link", "01 03", BluetoothStatus{Power::on, std::nullopt}},
        {"one byte", "01", std::nullopt},
    });
}

TEST(AudioPayloads, DecodeAndEncodeGoldenParams) {
    checkRows<HeadphoneVolume>({
        {"muted level 15", "01 0F 32", HeadphoneVolume{true, 15, 50}},
        {"any non-zero flag is muted", "05 0F 32", HeadphoneVolume{true, 15, 50}, false},
        {"fourth byte ignored", "00 1E 64 99", HeadphoneVolume{false, 30, 100}, false},
        {"two bytes", "01 0F", std::nullopt},
    });
    checkRows<MicrophoneVolume>({
        {"live level 5", "00 05 19", MicrophoneVolume{false, 5, 25}},
    });
    checkRows<SidetoneVolume>({
        {"level 3", "03 1E", SidetoneVolume{3, 30}},
        {"one byte", "03", std::nullopt},
    });
    checkRows<GameChatBalance>({
        {"centre", "32", GameChatBalance(50)},
        {"above 100 reads as 100", "C8", GameChatBalance(100), false},
        {"empty", "", std::nullopt},
    });
    checkRows<AmbientSetting>({
        {"ambient sound, wire order", "02 0A 32 01",
         AmbientSetting{NoiseCancellingMode::ambientSound, 10, true, 50}},
        {"mode 3 fails the record", "03 0A 32 01", std::nullopt},
        {"three bytes", "02 0A 32", std::nullopt},
    });
    checkRows<NCToggleSetting>({
        {"nc and ambient", "00 01 01", NCToggleSetting{false, true, true}},
        {"two bytes", "00 01", std::nullopt},
    });
}

TEST(OneByteSettingPayloads, DecodeAndEncodeGoldenParams) {
    checkRows<AutoPowerOff>({
        {"60 minutes", "3C", AutoPowerOff::after60Minutes},
        {"surplus ignored", "00 05", AutoPowerOff::off, false},
        {"10 minutes is no setting", "0A", std::nullopt},
        {"empty", "", std::nullopt},
    });
    checkRows<LEDSetting>({
        {"any non-zero is on", "02", LEDSetting{true}, false},
        {"off", "00", LEDSetting{false}},
    });
    checkRows<BluetoothStartupMode>({
        {"last state", "02", BluetoothStartupMode::lastState},
        {"out of range", "03", std::nullopt},
    });
    checkRows<NoiseCancellingStartupMode>({
        {"mode at power off", "03", NoiseCancellingStartupMode::modeAtPowerOff},
        {"out of range", "04", std::nullopt},
    });
    checkRows<RawByteSetting>({
        {"first byte only", "7F 01", RawByteSetting{0x7F}, false},
        {"empty", "", std::nullopt},
    });
}

}  // namespace
}  // namespace avrane
