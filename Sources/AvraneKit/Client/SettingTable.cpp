#include "AvraneKit/Client/SettingTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace avrane {
namespace {

using Write = std::optional<SettingWrite>;

// The words a setting uses for the cases of an enumeration.
template <class E>
struct Word {
    std::string_view word;
    E value;
};

using NC = NoiseCancellingMode;
constexpr std::array<Word<NC>, 3> ncWords{{
    {"off", NC::off}, {"nc", NC::noiseCancelling}, {"ambient", NC::ambientSound}}};

using APO = AutoPowerOff;
constexpr std::array<Word<APO>, 6> powerOffWords{{{"off", APO::off},
                                                  {"5", APO::after5Minutes},
                                                  {"15", APO::after15Minutes},
                                                  {"30", APO::after30Minutes},
                                                  {"60", APO::after60Minutes},
                                                  {"180", APO::after180Minutes}}};

using BSM = BluetoothSoundMode;
constexpr std::array<Word<BSM>, 2> soundWords{{
    {"quality", BSM::soundQualityPriority}, {"connection", BSM::connectionPriority}}};

using BSU = BluetoothStartupMode;
constexpr std::array<Word<BSU>, 3> btStartupWords{{
    {"off", BSU::off}, {"on", BSU::on}, {"last", BSU::lastState}}};

using NCS = NoiseCancellingStartupMode;
constexpr std::array<Word<NCS>, 4> ncStartupWords{{{"off", NCS::off},
                                                   {"nc", NCS::noiseCancelling},
                                                   {"ambient", NCS::ambientSound},
                                                   {"last", NCS::modeAtPowerOff}}};

constexpr std::array<Word<bool>, 2> onOffWords{{{"on", true}, {"off", false}}};
constexpr std::array<Word<bool>, 2> micWords{{{"muted", true}, {"live", false}}};

template <class E, std::size_t N>
std::optional<E> fromWord(const std::array<Word<E>, N>& words, std::string_view text) {
    for (const auto& w : words) {
        if (w.word == text) return w.value;
    }
    return std::nullopt;
}

template <class E, std::size_t N>
SettingValue toWord(const std::array<Word<E>, N>& words, E value) {
    for (const auto& w : words) {
        if (w.value == value) {
            const bool isNumber = !w.word.empty() && w.word[0] >= '0' && w.word[0] <= '9';
            return {std::string(w.word), isNumber, {}};
        }
    }
    return {"unknown", false, {}};  // every case has a word; kept total all the same
}

template <class T, class F>
std::optional<SettingValue> showIf(const std::optional<T>& field, F&& show) {
    if (!field) return std::nullopt;
    return show(*field);
}

// A decimal integer from `least` to `most`, the whole text and nothing else.
std::optional<std::uint8_t> integerIn(std::string_view text, int least, int most) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < least ||
        value > most) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

// -5.0 to 5.0 in steps of 0.5, written as plain decimals ("-2.5", "3", "+1.0").
std::optional<double> balanceIn(std::string_view text) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const std::size_t digitsFrom = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t point = text.find('.');
    const auto allDigits = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!allDigits(text.substr(digitsFrom, point - digitsFrom)) ||
        (point != std::string_view::npos && !allDigits(text.substr(point + 1)))) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (!(value >= -5.0 && value <= 5.0) || std::round(value * 2) != value * 2) return std::nullopt;
    return value;
}

std::string percentNote(std::uint8_t percent) { return std::to_string(percent) + " %"; }

// The words `show` writes, read back.
std::optional<SettingValue> levelWord(std::string_view text) {
    const auto level = integerIn(text, 0, 255);
    if (!level || std::to_string(*level) != text) return std::nullopt;  // no sign, no leading zero
    return SettingValue{std::string(text), true, {}};
}

std::optional<SettingValue> balanceWord(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !(value >= -5.0 && value <= 5.0)) {
        return std::nullopt;
    }
    char canonical[16];
    std::snprintf(canonical, sizeof canonical, "%.1f", value);
    if (canonical != text) return std::nullopt;
    return SettingValue{std::string(text), true, {}};
}

template <class E, std::size_t N>
std::optional<SettingValue> enumWord(const std::array<Word<E>, N>& words, std::string_view text) {
    const auto value = fromWord(words, text);
    if (!value) return std::nullopt;
    return toWord(words, *value);
}

SettingValue levelValue(std::uint8_t level, std::string note) {
    return {std::to_string(level), true, std::move(note)};
}

SettingValue balanceValue(const GameChatBalance& balance) {
    const double ui = balance.uiValue();
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", ui);
    return {text, true, ui == 0 ? "even" : ui < 0 ? "towards game" : "towards chat"};
}

// Read the record, change one field, write the record back.
template <class Record, class Change>
SettingWrite readModifyWrite(Record (HeadsetClient::*read)(),
                             void (HeadsetClient::*write)(const Record&), Change change) {
    return [=](HeadsetClient& client) {
        Record record = (client.*read)();
        change(record);
        (client.*write)(record);
    };
}

const std::array<Setting, 12> table{{
    {"volume", "0-30", EventID::headphoneVolume,
     [](HeadsetClient& c, HeadsetState& s) { s.headphoneVolume = c.headphoneVolume(); },
     [](const HeadsetState& s) {
         return showIf(s.headphoneVolume, [](const HeadphoneVolume& v) {
             return levelValue(v.level, percentNote(v.reportedPercent) + (v.isMuted ? ", muted" : ""));
         });
     },
     [](std::string_view text) -> Write {
         const auto level = integerIn(text, 0, 30);
         if (!level) return std::nullopt;
         return settingWrites::headphoneVolume(*level);
     },
     [](std::string_view t) { return levelWord(t); }},
    {"balance", "-5.0 to 5.0 in steps of 0.5 (below 0 leans to game audio, above to chat)", EventID::gameChatMixBalance,
     [](HeadsetClient& c, HeadsetState& s) { s.gameChatBalance = c.gameChatBalance(); },
     [](const HeadsetState& s) { return showIf(s.gameChatBalance, balanceValue); },
     [](std::string_view text) -> Write {
         const auto value = balanceIn(text);
         if (!value) return std::nullopt;
         return settingWrites::balance(*value);
     },
     [](std::string_view t) { return balanceWord(t); }},
    {"sidetone", "0-10", EventID::sidetoneVolume,
     [](HeadsetClient& c, HeadsetState& s) { s.sidetoneVolume = c.sidetoneVolume(); },
     [](const HeadsetState& s) {
         return showIf(s.sidetoneVolume, [](const SidetoneVolume& v) {
             return levelValue(v.level, percentNote(v.reportedPercent));
         });
     },
     [](std::string_view text) -> Write {
         const auto level = integerIn(text, 0, 10);
         if (!level) return std::nullopt;
         return settingWrites::sidetone(*level);
     },
     [](std::string_view t) { return levelWord(t); }},
    {"anc", "off|nc|ambient", EventID::ambSetting,
     [](HeadsetClient& c, HeadsetState& s) { s.ambient = c.ambientSetting(); },
     [](const HeadsetState& s) {
         return showIf(s.ambient, [](const AmbientSetting& a) { return toWord(ncWords, a.mode); });
     },
     [](std::string_view text) -> Write {
         const auto mode = fromWord(ncWords, text);
         if (!mode) return std::nullopt;
         return settingWrites::noiseCancelling(*mode);
     },
     [](std::string_view t) { return enumWord(ncWords, t); }},
    {"ambient-level", "1-20", EventID::ambSetting,
     [](HeadsetClient& c, HeadsetState& s) { s.ambient = c.ambientSetting(); },
     [](const HeadsetState& s) {
         return showIf(s.ambient, [](const AmbientSetting& a) {
             return levelValue(a.ambientLevel, percentNote(a.reportedPercent));
         });
     },
     [](std::string_view text) -> Write {
         const auto level = integerIn(text, 1, 20);
         if (!level) return std::nullopt;
         return settingWrites::ambientLevel(*level);
     },
     [](std::string_view t) { return levelWord(t); }},
    {"voice-focus", "on|off", EventID::ambSetting,
     [](HeadsetClient& c, HeadsetState& s) { s.ambient = c.ambientSetting(); },
     [](const HeadsetState& s) {
         return showIf(s.ambient, [](const AmbientSetting& a) { return toWord(onOffWords, a.voiceFocus); });
     },
     [](std::string_view text) -> Write {
         const auto on = fromWord(onOffWords, text);
         if (!on) return std::nullopt;
         return settingWrites::voiceFocus(*on);
     },
     [](std::string_view t) { return enumWord(onOffWords, t); }},
    {"auto-power-off", "off|5|15|30|60|180 (minutes)", EventID::autoPowerOffSetting,
     [](HeadsetClient& c, HeadsetState& s) { s.autoPowerOff = c.autoPowerOff(); },
     [](const HeadsetState& s) {
         return showIf(s.autoPowerOff, [](AutoPowerOff a) { return toWord(powerOffWords, a); });
     },
     [](std::string_view text) -> Write {
         const auto value = fromWord(powerOffWords, text);
         if (!value) return std::nullopt;
         return settingWrites::autoPowerOff(*value);
     },
     [](std::string_view t) { return enumWord(powerOffWords, t); }},
    {"led", "on|off", EventID::ledSetting,
     [](HeadsetClient& c, HeadsetState& s) { s.led = c.ledSetting(); },
     [](const HeadsetState& s) {
         return showIf(s.led, [](const LEDSetting& l) { return toWord(onOffWords, l.isOn); });
     },
     [](std::string_view text) -> Write {
         const auto on = fromWord(onOffWords, text);
         if (!on) return std::nullopt;
         return settingWrites::led(*on);
     },
     [](std::string_view t) { return enumWord(onOffWords, t); }},
    {"bt-sound", "quality|connection", EventID::btSoundQuality,
     [](HeadsetClient& c, HeadsetState& s) { s.bluetoothSoundMode = c.bluetoothSoundMode(); },
     [](const HeadsetState& s) {
         return showIf(s.bluetoothSoundMode, [](BluetoothSoundMode m) { return toWord(soundWords, m); });
     },
     [](std::string_view text) -> Write {
         const auto value = fromWord(soundWords, text);
         if (!value) return std::nullopt;
         return settingWrites::bluetoothSound(*value);
     },
     [](std::string_view t) { return enumWord(soundWords, t); }},
    {"bt-startup", "off|on|last", EventID::btStartupMode,
     [](HeadsetClient& c, HeadsetState& s) { s.bluetoothStartupMode = c.bluetoothStartupMode(); },
     [](const HeadsetState& s) {
         return showIf(s.bluetoothStartupMode,
                       [](BluetoothStartupMode m) { return toWord(btStartupWords, m); });
     },
     [](std::string_view text) -> Write {
         const auto value = fromWord(btStartupWords, text);
         if (!value) return std::nullopt;
         return settingWrites::bluetoothStartup(*value);
     },
     [](std::string_view t) { return enumWord(btStartupWords, t); }},
    {"nc-startup", "off|nc|ambient|last", EventID::ncStartupMode,
     [](HeadsetClient& c, HeadsetState& s) { s.ncStartupMode = c.ncStartupMode(); },
     [](const HeadsetState& s) {
         return showIf(s.ncStartupMode,
                       [](NoiseCancellingStartupMode m) { return toWord(ncStartupWords, m); });
     },
     [](std::string_view text) -> Write {
         const auto value = fromWord(ncStartupWords, text);
         if (!value) return std::nullopt;
         return settingWrites::ncStartup(*value);
     },
     [](std::string_view t) { return enumWord(ncStartupWords, t); }},
    {"mic", "muted|live (can only be read)", EventID::micVolume,
     [](HeadsetClient& c, HeadsetState& s) { s.microphoneVolume = c.microphoneVolume(); },
     [](const HeadsetState& s) {
         return showIf(s.microphoneVolume, [](const MicrophoneVolume& m) {
             SettingValue value = toWord(micWords, m.isMuted);
             value.note = "level " + std::to_string(m.level) + ", " + percentNote(m.reportedPercent);
             return value;
         });
     },
     nullptr,
     [](std::string_view t) { return enumWord(micWords, t); }},
}};

}  // namespace

namespace settingWrites {

SettingWrite headphoneVolume(std::uint8_t level) {
    return readModifyWrite(&HeadsetClient::headphoneVolume, &HeadsetClient::setHeadphoneVolume,
                           [level](HeadphoneVolume& v) { v.level = level; });
}

SettingWrite balance(double uiValue) {
    return [b = GameChatBalance::fromUIValue(uiValue)](HeadsetClient& c) { c.setGameChatBalance(b); };
}

SettingWrite sidetone(std::uint8_t level) {
    return readModifyWrite(&HeadsetClient::sidetoneVolume, &HeadsetClient::setSidetoneVolume,
                           [level](SidetoneVolume& v) { v.level = level; });
}

SettingWrite noiseCancelling(NoiseCancellingMode mode) {
    return [mode](HeadsetClient& c) { c.setNoiseCancellingMode(mode); };
}

SettingWrite ambientLevel(std::uint8_t level) {
    return readModifyWrite(&HeadsetClient::ambientSetting, &HeadsetClient::setAmbientSetting,
                           [level](AmbientSetting& a) { a.ambientLevel = level; });
}

SettingWrite voiceFocus(bool on) {
    return readModifyWrite(&HeadsetClient::ambientSetting, &HeadsetClient::setAmbientSetting,
                           [on](AmbientSetting& a) { a.voiceFocus = on; });
}

SettingWrite autoPowerOff(AutoPowerOff delay) {
    return [delay](HeadsetClient& c) { c.setAutoPowerOff(delay); };
}

SettingWrite led(bool on) {
    return [on](HeadsetClient& c) { c.setLEDSetting(LEDSetting{on}); };
}

SettingWrite bluetoothSound(BluetoothSoundMode mode) {
    return [mode](HeadsetClient& c) { c.setBluetoothSoundMode(mode); };
}

SettingWrite bluetoothStartup(BluetoothStartupMode mode) {
    return [mode](HeadsetClient& c) { c.setBluetoothStartupMode(mode); };
}

SettingWrite ncStartup(NoiseCancellingStartupMode mode) {
    return [mode](HeadsetClient& c) { c.setNCStartupMode(mode); };
}

}  // namespace settingWrites

std::span<const Setting> settingTable() { return table; }

std::string propertyName(std::string_view settingName) {
    std::string name;
    bool upper = true;
    for (const char c : settingName) {
        if (c == '-') {
            upper = true;
            continue;
        }
        name += upper && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        upper = false;
    }
    return name;
}

const Setting* findSetting(std::string_view name) {
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const Setting& s) { return s.name == name; });
    return it == table.end() ? nullptr : &*it;
}

}  // namespace avrane
