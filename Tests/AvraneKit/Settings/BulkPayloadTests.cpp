#include "AvraneKit/Settings/AllFunctionSettings.h"
#include "PayloadRows.h"

namespace avrane {
namespace {

using testing::checkRows;

TEST(BulkPayloads, Part1CutsItsSlices) {
    const AllFunctionSettingsPart1 reference{
        .modelID = 0,
        .battery = {1, 80},
        .headphoneVolume = {false, 15, 50},
        .gameChatBalance = GameChatBalance(50),
        .sidetoneVolume = {3, 30},
    };
    auto noLevel = reference;
    noLevel.battery.percent = std::nullopt;
    auto fullChat = reference;
    fullChat.gameChatBalance = GameChatBalance(100);
    checkRows<AllFunctionSettingsPart1>({
        {"reference", "00 01 50 00 0F 32 32 03 1E", reference},
        {"battery without a level is no failure", "00 01 FF 00 0F 32 32 03 1E", noLevel},
        {"balance above 100 reads as 100", "00 01 50 00 0F 32 C8 03 1E", fullChat},
        {"eight bytes", "00 01 50 00 0F 32 32 03", std::nullopt},
    });
}

TEST(BulkPayloads, Part2FailsOnABadAmbientMode) {
    checkRows<AllFunctionSettingsPart2>({
        {"reference", "01 05 19 02 0A 32 01 00 01 01",
         AllFunctionSettingsPart2{{true, 5, 25},
                                  {NoiseCancellingMode::ambientSound, 10, true, 50},
                                  {false, true, true}}},
        {"ambient mode 3", "01 05 19 03 0A 32 01 00 01 01", std::nullopt},
        {"nine bytes", "01 05 19 02 0A 32 01 00 01", std::nullopt},
    });
}

TEST(BulkPayloads, Part3KeepsRawCodesAndOptionalPowerOff) {
    checkRows<AllFunctionSettingsPart3>({
        {"reference", "03 01 01 01 02 1E 01",
         AllFunctionSettingsPart3{3, 1, 1, 1, 2, AutoPowerOff::after30Minutes, {true}}},
        {"unknown power-off delay", "03 01 01 01 02 0A 01",
         AllFunctionSettingsPart3{3, 1, 1, 1, 2, std::nullopt, {true}}},
        {"raw codes are not checked here", "07 05 09 02 03 00 00",
         AllFunctionSettingsPart3{7, 5, 9, 2, 3, AutoPowerOff::off, {false}}},
        {"six bytes", "03 01 01 01 02 1E", std::nullopt},
    });
}

}  // namespace
}  // namespace avrane
