#include "AvraneKit/Settings/WritableItems.h"

#include <algorithm>
#include <array>

#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/NCToggleSetting.h"
#include "AvraneKit/Settings/Payload.h"
#include "AvraneKit/Settings/VolumeSettings.h"

namespace avrane {
namespace {

template <class T>
bool decodes(ByteView param) {
    return decodePayload<T>(param).has_value();
}

// The payload lengths of the records' encoders.
constexpr std::array<WritableItem, 10> items{{
    {EventID::headphoneVolume, 3, decodes<HeadphoneVolume>},
    {EventID::gameChatMixBalance, 1, decodes<GameChatBalance>},
    {EventID::sidetoneVolume, 2, decodes<SidetoneVolume>},
    {EventID::ambSetting, 4, decodes<AmbientSetting>},
    {EventID::ncToggleSetting, 3, decodes<NCToggleSetting>},
    {EventID::ncStartupMode, 1, decodes<NoiseCancellingStartupMode>},
    {EventID::btSoundQuality, 1, decodes<BluetoothSoundMode>},
    {EventID::btStartupMode, 1, decodes<BluetoothStartupMode>},
    {EventID::autoPowerOffSetting, 1, decodes<AutoPowerOff>},
    {EventID::ledSetting, 1, decodes<LEDSetting>},
}};

std::string byteCount(std::size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

}  // namespace

std::span<const WritableItem> writableItems() { return items; }

std::optional<std::string> rawWriteRefusal(EventID item, ByteView param) {
    const std::string name(caseName(item));
    const auto found = std::find_if(items.begin(), items.end(), [&](const WritableItem& w) { return w.item == item; });
    if (found == items.end()) {
        std::string writable;
        for (const WritableItem& w : items) writable += (writable.empty() ? "" : ", ") + std::string(caseName(w.item));
        return name + " is not a setting that may be written; the writable items are " + writable;
    }
    if (param.size() != found->length) {
        return name + " takes " + byteCount(found->length) + ", not " + byteCount(param.size());
    }
    if (!found->decodes(param)) {
        // Appended piece by piece: g++ 12 sees a false overlap in "[" + std::string&& at -O3.
        std::string text = "[";
        text += hexDump(param);
        text += "] is not a value of ";
        text += name;
        return text;
    }
    return std::nullopt;
}

}  // namespace avrane
