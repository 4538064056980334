#include "avranectl/StatusReport.h"

#include <algorithm>

#include "AvraneKit/Client/SettingTable.h"
#include "avranectl/Output.h"

namespace avrane::ctl {
namespace {

constexpr std::string_view notReported = "not reported";

template <TabledEnum E>
Json toJson(E value) {
    return Json(caseName(value));
}

Json toJson(const BatteryInfo& b) {
    const auto status = b.status();
    return Json::object()
        .set("statusCode", b.statusCode)
        .set("status", status ? Json(caseName(*status)) : Json())
        .set("percent", b.percent)
        .set("isCharging", b.isCharging());
}

template <class Tag>
Json toJson(const detail::MutableLevel<Tag>& v) {
    return Json::object()
        .set("isMuted", v.isMuted)
        .set("level", v.level)
        .set("reportedPercent", v.reportedPercent);
}

Json toJson(const GameChatBalance& b) {
    return Json::object().set("rawValue", b.rawValue).set("uiValue", b.uiValue());
}

Json toJson(const SidetoneVolume& v) {
    return Json::object().set("level", v.level).set("reportedPercent", v.reportedPercent);
}

Json toJson(const AmbientSetting& a) {
    return Json::object()
        .set("mode", toJson(a.mode))
        .set("ambientLevel", a.ambientLevel)
        .set("voiceFocus", a.voiceFocus)
        .set("reportedPercent", a.reportedPercent);
}

Json toJson(const NCToggleSetting& t) {
    return Json::object()
        .set("includesOff", t.includesOff)
        .set("includesNoiseCancelling", t.includesNoiseCancelling)
        .set("includesAmbientSound", t.includesAmbientSound);
}

Json toJson(const LEDSetting& l) { return Json::object().set("isOn", l.isOn); }

Json toJson(const BluetoothStatus& b) {
    return Json::object()
        .set("power", b.power ? toJson(*b.power) : Json())
        .set("link", b.link ? toJson(*b.link) : Json());
}

Json toJson(const FirmwareVersion::Version& v) {
    return Json::object()
        .set("major", v.major)
        .set("minor", v.minor)
        .set("build", v.build)
        .set("text", v.text());
}

template <class T>
Json toJson(const std::optional<T>& value) {
    return value ? toJson(*value) : Json();
}

// How a notification of each item lands in the state: the field it replaces, decoded with
// that field's payload type.
template <class T>
bool store(std::optional<T>& field, ByteView param) {
    auto value = decodePayload<T>(param);
    if (!value) return false;
    field = *std::move(value);
    return true;
}

struct StateField {
    EventID item;
    std::string_view name;
    bool (*apply)(HeadsetState& state, ByteView param);
};

constexpr std::array<StateField, 13> stateFields{{
    {EventID::batteryInfo, "battery", [](HeadsetState& s, ByteView p) { return store(s.battery, p); }},
    {EventID::headphoneVolume, "headphoneVolume",
     [](HeadsetState& s, ByteView p) { return store(s.headphoneVolume, p); }},
    {EventID::gameChatMixBalance, "gameChatBalance",
     [](HeadsetState& s, ByteView p) { return store(s.gameChatBalance, p); }},
    {EventID::sidetoneVolume, "sidetoneVolume",
     [](HeadsetState& s, ByteView p) { return store(s.sidetoneVolume, p); }},
    {EventID::micVolume, "microphoneVolume",
     [](HeadsetState& s, ByteView p) { return store(s.microphoneVolume, p); }},
    {EventID::ambSetting, "ambient", [](HeadsetState& s, ByteView p) { return store(s.ambient, p); }},
    {EventID::ncToggleSetting, "ncToggle",
     [](HeadsetState& s, ByteView p) { return store(s.ncToggle, p); }},
    {EventID::autoPowerOffSetting, "autoPowerOff",
     [](HeadsetState& s, ByteView p) { return store(s.autoPowerOff, p); }},
    {EventID::ledSetting, "led", [](HeadsetState& s, ByteView p) { return store(s.led, p); }},
    {EventID::ncStartupMode, "ncStartupMode",
     [](HeadsetState& s, ByteView p) { return store(s.ncStartupMode, p); }},
    {EventID::btStatus, "bluetooth", [](HeadsetState& s, ByteView p) { return store(s.bluetooth, p); }},
    {EventID::btSoundQuality, "bluetoothSoundMode",
     [](HeadsetState& s, ByteView p) { return store(s.bluetoothSoundMode, p); }},
    {EventID::btStartupMode, "bluetoothStartupMode",
     [](HeadsetState& s, ByteView p) { return store(s.bluetoothStartupMode, p); }},
}};

const StateField* fieldFor(EventID item) {
    const auto it = std::find_if(stateFields.begin(), stateFields.end(),
                                 [&](const StateField& f) { return f.item == item; });
    return it == stateFields.end() ? nullptr : &*it;
}

std::string ncToggleText(const NCToggleSetting& t) {
    std::string text;
    const auto add = [&](bool included, std::string_view word) {
        if (included) text += (text.empty() ? "" : ", ") + std::string(word);
    };
    add(t.includesOff, "off");
    add(t.includesNoiseCancelling, "nc");
    add(t.includesAmbientSound, "ambient");
    return text.empty() ? "none" : text;
}

std::string bluetoothText(const BluetoothStatus& b) {
    return std::string(b.power ? caseName(*b.power) : "power not reported") + ", " +
           std::string(b.link ? caseName(*b.link) : "link not reported");
}

template <class T, class F>
std::string textOr(const std::optional<T>& value, F&& text) {
    return value ? text(*value) : std::string(notReported);
}

}  // namespace

StatusReport readStatus(HeadsetClient& client) {
    StatusReport report{client.dongle(), std::nullopt, std::nullopt, client.state()};
    try {
        report.modelInfo = client.modelInfo();
    } catch (const HeadsetClient::Failure&) {
    }
    try {
        report.firmware = client.firmwareVersion();
    } catch (const HeadsetClient::Failure&) {
    }
    return report;
}

std::string modelText(std::uint8_t modelID) {
    ModelInfo info;
    info.modelID = modelID;
    return info.model() ? info.deviceName() + " (" + info.modelCode() + ")" : info.deviceName();
}

std::string batteryText(const std::optional<BatteryInfo>& battery) {
    if (!battery || !battery->percent) return std::string(notReported);
    return std::to_string(*battery->percent) + " %" + (battery->isCharging() ? ", charging" : "");
}

std::vector<StatusRow> stateRows(const HeadsetState& state) {
    std::vector<StatusRow> rows{{"battery", batteryText(state.battery)}};
    for (const Setting& setting : settingTable()) {
        const auto value = setting.show(state);
        rows.emplace_back(setting.name, value ? value->text + (value->note.empty() ? "" : " (" + value->note + ")")
                                              : std::string(notReported));
    }
    rows.emplace_back("nc-toggle", textOr(state.ncToggle, ncToggleText));
    rows.emplace_back("bluetooth", textOr(state.bluetooth, bluetoothText));
    return rows;
}

std::string formatRows(const std::vector<StatusRow>& rows) {
    // Rows may hold a device path or a serial number, which the tool does not choose.
    std::vector<StatusRow> shown;
    std::size_t width = 0;
    for (const auto& [name, value] : rows) {
        shown.emplace_back(printable(name), printable(value));
        width = std::max(width, shown.back().first.size());
    }
    std::string text;
    for (const auto& [name, value] : shown) {
        text += name + std::string(width + 2 - name.size(), ' ') + value + "\n";
    }
    return text;
}

std::string statusText(const StatusReport& report) {
    const DiscoveredDongle& d = report.dongle;
    std::vector<StatusRow> rows{
        {"dongle", d.model.name + " at " + d.devicePath +
                       (d.serialNumber ? ", serial " + *d.serialNumber : "")}};
    const auto modelID = report.modelInfo ? std::optional(report.modelInfo->modelID) : report.state.modelID;
    rows.emplace_back("model", modelID ? modelText(*modelID) : std::string(notReported));
    rows.emplace_back("firmware", textOr(report.firmware, [](const FirmwareVersion& f) {
                          return "headset " + f.headset.text() + ", dongle " + f.dongle.text();
                      }));
    const auto stateLines = stateRows(report.state);
    rows.insert(rows.end(), stateLines.begin(), stateLines.end());
    return formatRows(rows);
}

namespace {

void addStateMembers(Json& json, const HeadsetState& s) {
    json.set("battery", toJson(s.battery))
        .set("headphoneVolume", toJson(s.headphoneVolume))
        .set("gameChatBalance", toJson(s.gameChatBalance))
        .set("sidetoneVolume", toJson(s.sidetoneVolume))
        .set("microphoneVolume", toJson(s.microphoneVolume))
        .set("ambient", toJson(s.ambient))
        .set("ncToggle", toJson(s.ncToggle))
        .set("autoPowerOff", toJson(s.autoPowerOff))
        .set("led", toJson(s.led))
        .set("ncStartupMode", toJson(s.ncStartupMode))
        .set("bluetooth", toJson(s.bluetooth))
        .set("bluetoothSoundMode", toJson(s.bluetoothSoundMode))
        .set("bluetoothStartupMode", toJson(s.bluetoothStartupMode))
        .set("usedBulkRead", s.usedBulkRead);
}

}  // namespace

Json stateJson(const HeadsetState& state) {
    Json json = Json::object();
    addStateMembers(json, state);
    return json;
}

Json statusJson(const StatusReport& report) {
    const DiscoveredDongle& d = report.dongle;
    Json json = Json::object().set("dongle", Json::object()
                                                 .set("name", d.model.name)
                                                 .set("devicePath", d.devicePath)
                                                 .set("serialNumber", d.serialNumber));
    const auto modelID = report.modelInfo ? std::optional(report.modelInfo->modelID) : report.state.modelID;
    if (modelID) {
        ModelInfo info;
        info.modelID = *modelID;
        json.set("model", Json::object()
                              .set("modelID", *modelID)
                              .set("deviceName", info.deviceName())
                              .set("modelCode", info.modelCode()));
    } else {
        json.set("model", Json());
    }
    if (report.firmware) {
        json.set("firmware", Json::object()
                                 .set("headset", toJson(report.firmware->headset))
                                 .set("dongle", toJson(report.firmware->dongle)));
    } else {
        json.set("firmware", Json());
    }
    // The state's members follow at the top level, so that a bar reads battery.percent.
    addStateMembers(json, report.state);
    return json;
}

std::optional<std::string> stateFieldName(EventID item) {
    const StateField* field = fieldFor(item);
    if (!field) return std::nullopt;
    return std::string(field->name);
}

bool applyNotification(HeadsetState& state, const Packet& notification) {
    const StateField* field = fieldFor(notification.eventID);
    return field && field->apply(state, notification.param);
}

}  // namespace avrane::ctl
