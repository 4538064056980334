#include "AvraneSim/HeadsetModel.h"

#include <gtest/gtest.h>

#include "AvraneKit/Settings/AllFunctionSettings.h"
#include "AvraneKit/Settings/Payload.h"

namespace avrane::sim {
namespace {

template <class T>
std::optional<T> decoded(const HeadsetModel& model, EventID item) {
    const auto param = model.param(item);
    if (!param) return std::nullopt;
    return decodePayload<T>(*param);
}

TEST(HeadsetModelTests, ParamsDecodeBackToTheModel) {
    HeadsetModel m;
    // Wide fields, so that packing across byte boundaries shows.
    m.firmware = {.headset = {0x12, 0xABC, 0x123}, .dongle = {0xFF, 0xFFF, 0xFFF}};
    m.modelInfo.serialNumber = 0xBEEF;
    m.battery = {.statusCode = 2, .percent = std::nullopt};
    m.bluetooth = {std::nullopt, BluetoothStatus::Link::connected};

    EXPECT_EQ(decoded<FirmwareVersion>(m, EventID::fwVersion), m.firmware);
    EXPECT_EQ(decoded<ModelInfo>(m, EventID::modelInfo), m.modelInfo);
    EXPECT_EQ(decoded<BatteryInfo>(m, EventID::batteryInfo), m.battery);
    EXPECT_EQ(decoded<BluetoothStatus>(m, EventID::btStatus), m.bluetooth);
    EXPECT_EQ(decoded<AmbientSetting>(m, EventID::ambSetting), m.ambient);
    EXPECT_EQ(decoded<AutoPowerOff>(m, EventID::autoPowerOffSetting), m.autoPowerOff);

    const auto part3 = decoded<AllFunctionSettingsPart3>(m, EventID::allFunctionSettingsPart3);
    ASSERT_TRUE(part3);
    EXPECT_EQ(part3->btStatus, 0xFF);  // an absent code goes out as one outside the table
    EXPECT_EQ(part3->btConnectionStatus, 1);
    EXPECT_EQ(part3->autoPowerOff, m.autoPowerOff);
    EXPECT_EQ(m.param(EventID::surroundSetting), std::nullopt);
}

TEST(HeadsetModelTests, SetStoresOnlyWritableItemsThatDecode) {
    HeadsetModel m;
    EXPECT_FALSE(m.apply(EventID::batteryInfo, Bytes{1, 5}));
    EXPECT_FALSE(m.apply(EventID::ambSetting, Bytes{7, 1, 1, 1}));  // no such mode
    EXPECT_FALSE(m.apply(EventID::headphoneVolume, Bytes{1}));
    EXPECT_EQ(m, HeadsetModel{});

    EXPECT_TRUE(m.apply(EventID::autoPowerOffSetting, Bytes{0xB4, 0x00}));
    EXPECT_EQ(m.autoPowerOff, AutoPowerOff::after180Minutes);
    // Items without a record are kept raw and read back.
    EXPECT_TRUE(m.apply(EventID::vpLanguageSetting, Bytes{3, 4}));
    EXPECT_EQ(m.param(EventID::vpLanguageSetting), (Bytes{3, 4}));
}

}  // namespace
}  // namespace avrane::sim
