#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/FirmwareVersion.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/ModelInfo.h"

namespace avrane {
namespace {

TEST(ModelInfoTest, ModelOutsideTheTableIsNamedByItsCode) {
    const ModelInfo unknown{0x08, 0, 0, 0, 0};
    EXPECT_EQ(unknown.model(), std::nullopt);
    EXPECT_EQ(unknown.deviceName(), "unknown model 0x08");
    EXPECT_EQ(unknown.modelCode(), "-");
}

TEST(FirmwareVersionTest, TextPadsAndDashesOverwideFields) {
    EXPECT_EQ((FirmwareVersion::Version{2, 1, 5}).text(), "02.001.005");
    EXPECT_EQ((FirmwareVersion::Version{100, 1000, 12}).text(), "--.---.012");
    EXPECT_EQ((FirmwareVersion::Version{99, 999, 999}).text(), "99.999.999");
}

TEST(GameChatBalanceTest, SliderValuesRoundHalvesAwayFromZero) {
    const struct {
        double uiValue;
        std::uint8_t raw;
    } rows[] = {
        {0.25, 53}, {-0.25, 47}, {7.0, 100}, {-0.05, 49}, {0.04, 50}, {1e300, 100},
        {-std::numeric_limits<double>::infinity(), 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(GameChatBalance::fromUIValue(row.uiValue).rawValue, row.raw) << row.uiValue;
    }
    EXPECT_EQ(GameChatBalance(45).uiValue(), -0.5);
    EXPECT_EQ(GameChatBalance(200).rawValue, 100);
    for (int raw = 0; raw <= 100; ++raw) {
        const GameChatBalance balance(static_cast<std::uint8_t>(raw));
        EXPECT_EQ(GameChatBalance::fromUIValue(balance.uiValue()), balance) << raw;
    }
}

}  // namespace
}  // namespace avrane
