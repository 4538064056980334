#include "Soak/PublishedState.h"

#include <algorithm>

#include "AvraneKit/Support/EnumTable.h"

namespace avrane::soak {

HeadsetState stateOf(const sim::HeadsetModel& m) {
    HeadsetState state;
    state.modelID = m.modelInfo.modelID;
    state.battery = m.battery;
    state.headphoneVolume = m.headphoneVolume;
    state.gameChatBalance = m.gameChatBalance;
    state.sidetoneVolume = m.sidetoneVolume;
    state.microphoneVolume = m.microphoneVolume;
    state.ambient = m.ambient;
    state.ncToggle = m.ncToggle;
    state.autoPowerOff = m.autoPowerOff;
    state.led = m.led;
    state.ncStartupMode = m.ncStartupMode;
    state.bluetooth = m.bluetooth;
    state.bluetoothSoundMode = m.bluetoothSoundMode;
    state.bluetoothStartupMode = m.bluetoothStartupMode;
    return state;
}

Properties expectedProperties(const sim::HeadsetModel& m) {
    Properties p;
    p["Availability"] = "connected";
    p["Model"] = m.modelInfo.deviceName();
    p["HeadsetFirmware"] = m.firmware.headset.text();
    p["DongleFirmware"] = m.firmware.dongle.text();
    if (m.battery.percent) p["BatteryPercent"] = std::to_string(*m.battery.percent);
    p["BatteryCharging"] = m.battery.isCharging() ? "true" : "false";
    const HeadsetState state = stateOf(m);
    for (const Setting& setting : settingTable()) {
        if (const auto value = setting.show(state)) p[propertyName(setting.name)] = value->text;
    }
    if (m.bluetooth.power) p["HeadsetBluetoothPower"] = caseName(*m.bluetooth.power);
    if (m.bluetooth.link) p["HeadsetBluetoothLink"] = caseName(*m.bluetooth.link);
    return p;
}

std::vector<std::string> differences(const Properties& published, const Properties& expected) {
    std::vector<std::string> names;
    for (const auto& [name, value] : expected) {
        const auto it = published.find(name);
        if (it == published.end() || it->second != value) names.push_back(name);
    }
    return names;
}

std::string describeDifferences(const Properties& published, const Properties& expected) {
    std::vector<std::string> names = differences(published, expected);
    const auto shown = [&](const std::string& name) {
        const auto it = published.find(name);
        return name + " " + (it == published.end() ? std::string("unknown") : it->second) + ", the headset " + expected.at(name);
    };
    if (std::find(names.begin(), names.end(), "Availability") != names.end()) {
        const auto more = names.size() - 1;
        return shown("Availability") + (more ? " (and " + std::to_string(more) + " more)" : "");
    }
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "; ") + shown(name);
    return text;
}

std::optional<std::string> wordsOfWrite(const Setting& setting, ByteView param) {
    sim::HeadsetModel model;
    if (!model.apply(setting.item, param)) return std::nullopt;
    const auto value = setting.show(stateOf(model));
    if (!value) return std::nullopt;
    return value->text;
}

}  // namespace avrane::soak
