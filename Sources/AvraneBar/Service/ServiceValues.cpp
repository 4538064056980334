#include "AvraneBar/Service/ServiceValues.h"

#include <QDBusMetaType>

#include "AvraneKit/Client/SettingTable.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane::service {
namespace {

using Kind = HeadsetSnapshot::Availability::Kind;

QString text(const std::string& s) { return QString::fromStdString(s); }
QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// What the setting table reads its words from: the headset's state, as far as the snapshot
// holds it. The microphone's level is not in the snapshot; its word (muted or live) does not
// need it.
HeadsetState stateOf(const HeadsetSnapshot& s) {
    HeadsetState state;
    if (s.batteryPercent) state.battery = BatteryInfo{std::uint8_t(s.batteryCharging.value_or(false) ? 1 : 0), s.batteryPercent};
    state.headphoneVolume = s.volume;
    state.gameChatBalance = s.balance;
    state.sidetoneVolume = s.sidetone;
    if (s.micMuted) state.microphoneVolume = MicrophoneVolume{*s.micMuted, 0, 0};
    state.ambient = s.ambient;
    state.autoPowerOff = s.autoPowerOff;
    state.led = s.led;
    state.ncStartupMode = s.ncStartupMode;
    state.bluetooth = s.bluetooth;
    state.bluetoothSoundMode = s.bluetoothSoundMode;
    state.bluetoothStartupMode = s.bluetoothStartupMode;
    return state;
}

template <class T, class F>
MaybeText textOf(const std::optional<T>& value, F&& toText) {
    if (!value) return {};
    return MaybeText(std::optional<QString>(toText(*value)));
}

}  // namespace

void registerTypes() {
    qDBusRegisterMetaType<MaybeText>();
    qDBusRegisterMetaType<MaybeByte>();
    qDBusRegisterMetaType<MaybeFlag>();
}

QVariantMap properties(const HeadsetSnapshot& s) {
    QVariantMap p;
    const auto put = [&p](const char* name, const auto& value) { p.insert(QLatin1String(name), QVariant::fromValue(value)); };
    switch (s.availability.kind()) {
    case Kind::connected: put("Availability", QStringLiteral("connected")); break;
    case Kind::noDongle: put("Availability", QStringLiteral("no-dongle")); break;
    case Kind::headsetUnreachable: put("Availability", QStringLiteral("unreachable")); break;
    }
    put("AvailabilityText", text(s.availability.text()));
    put("AccessDenied", s.availability.accessDenied());
    put("DongleName", textOf(s.dongleName, [](const std::string& n) { return text(n); }));
    put("DevicePath", textOf(s.dongle, [](const DiscoveredDongle& d) { return text(d.devicePath); }));
    put("SerialNumber", textOf(s.dongle ? s.dongle->serialNumber : std::nullopt, [](const std::string& n) { return text(n); }));
    put("Model", textOf(s.model, [](const ModelInfo& m) { return text(m.deviceName()); }));
    put("HeadsetFirmware", textOf(s.firmware, [](const FirmwareVersion& f) { return text(f.headset.text()); }));
    put("DongleFirmware", textOf(s.firmware, [](const FirmwareVersion& f) { return text(f.dongle.text()); }));
    put("BatteryPercent", MaybeByte(s.batteryPercent));
    put("BatteryCharging", MaybeFlag(s.batteryCharging));
    const HeadsetState state = stateOf(s);
    for (const Setting& setting : settingTable()) {
        const std::optional<SettingValue> value = setting.show(state);
        p.insert(QString::fromStdString(propertyName(setting.name)), QVariant::fromValue(textOf(value, [](const SettingValue& v) { return text(v.text); })));
    }
    MaybeText power, link;
    if (s.bluetooth && s.bluetooth->power) power = MaybeText(std::optional(text(caseName(*s.bluetooth->power))));
    if (s.bluetooth && s.bluetooth->link) link = MaybeText(std::optional(text(caseName(*s.bluetooth->link))));
    put("HeadsetBluetoothPower", power);
    put("HeadsetBluetoothLink", link);
    put("ComputerBluetoothPaired", s.macBluetooth.isPaired);
    put("ComputerBluetoothConnected", s.macBluetooth.isConnected);
    put("ComputerBluetoothName", textOf(s.macBluetooth.name, [](const std::string& n) { return text(n); }));
    return p;
}

QVariantMap changed(const QVariantMap& previous, const QVariantMap& next) {
    QVariantMap difference;
    for (auto it = next.begin(); it != next.end(); ++it) {
        if (!previous.contains(it.key()) || previous.value(it.key()) != it.value()) difference.insert(it.key(), it.value());
    }
    return difference;
}

}  // namespace avrane::service
