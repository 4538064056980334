#include "AvraneBar/Panel/PanelModel.h"

#include <cmath>
#include <stdexcept>

#include <QDir>

#include "AvraneBar/Panel/PopUpLists.h"
#include "AvraneBar/Preferences/MenuBarPreferences.h"
#include "AvraneKit/Client/SettingTable.h"
#include "AvraneUpdate/AppVersion.h"

namespace avrane {
namespace {

using Kind = HeadsetSnapshot::Availability::Kind;

// The headset's steps are whole numbers: the nearest one, halves away from zero.
std::uint8_t step(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// The balance moves in half steps.
double halfStep(double value) { return std::round(value * 2) / 2; }

// The snapshot with none of the values that the setting controls show. The microphone and the
// headset's Bluetooth state are shown as text, which no hand holds: they are not held.
HeadsetSnapshot withoutSettings(HeadsetSnapshot s) {
    s.volume.reset();
    s.balance.reset();
    s.sidetone.reset();
    s.ambient.reset();
    s.autoPowerOff.reset();
    s.led.reset();
    s.bluetoothSoundMode.reset();
    s.bluetoothStartupMode.reset();
    s.ncStartupMode.reset();
    return s;
}

QString number(unsigned value) { return QString::number(value); }

}  // namespace

PanelModel::PanelModel(Options options) : options_(std::move(options)) {
    if (!options_.apply || !options_.calls) throw std::invalid_argument("PanelModel needs a controller and timers");
    if (!options_.texts) options_.texts = &Localization::shared();
    if (!options_.now) options_.now = [] { return std::chrono::system_clock::now(); };
    if (!options_.monotonicNow) options_.monotonicNow = [] { return std::chrono::steady_clock::now(); };
    if (options_.home.isEmpty()) options_.home = QDir::homePath();
}

PanelModel::~PanelModel() {
    for (const auto& [key, token] : pending_) options_.calls->cancel(token);
    if (holdCheck_) options_.calls->cancel(*holdCheck_);
}

bool PanelModel::isHolding() const {
    const SteadyTime now = options_.monotonicNow();
    if (now < holdUntil_) return true;
    // Past the second: as long as a write is still to be answered, up to the cap.
    return (!pending_.empty() || !inFlight_.empty()) && now < holdCapUntil_;
}

PanelUpdate PanelModel::render(const HeadsetSnapshot& s) {
    PanelUpdate update;
    const HeadsetSnapshot* old = shown_ ? &*shown_ : nullptr;
    const auto changed = [&](auto HeadsetSnapshot::*field) { return !old || old->*field != s.*field; };

    if (changed(&HeadsetSnapshot::availability)) {
        showHeader(update, s);
        update.battery = panel::batteryLine(s, texts(), options_.now());
    } else if (changed(&HeadsetSnapshot::model) || changed(&HeadsetSnapshot::firmware) ||
               changed(&HeadsetSnapshot::dongleName)) {
        showHeader(update, s);
    }
    const bool batteryChanged = changed(&HeadsetSnapshot::batteryPercent) || changed(&HeadsetSnapshot::batteryCharging);
    if (batteryChanged) update.battery = panel::batteryLine(s, texts(), options_.now());
    if (changed(&HeadsetSnapshot::macBluetooth)) update.computerLink = panel::computerLinkText(s.macBluetooth, texts());
    update.switches = storedSettings().switches;

    // Cards of an absent headset are hidden and keep their last values.
    if (s.availability.kind() != Kind::connected) {
        shown_ = s;
        return update;
    }
    if (changed(&HeadsetSnapshot::micMuted) && s.micMuted) update.mic = panel::micText(*s.micMuted, texts());
    if (changed(&HeadsetSnapshot::bluetooth) && s.bluetooth) update.btState = panel::bluetoothStateText(s.bluetooth, texts());
    // A user's write in flight keeps its controls as the hand left them. The settings are
    // remembered as not shown, so that the first render after the hold shows the headset's
    // values: a button pressed on the headset meanwhile, or a write it refused.
    if (isHolding()) {
        shown_ = withoutSettings(s);
        return update;
    }

    if (changed(&HeadsetSnapshot::volume) && s.volume) update.volume = SliderValue{double(s.volume->level), number(s.volume->level)};
    if (changed(&HeadsetSnapshot::balance) && s.balance) {
        const double value = s.balance->uiValue();
        update.balance = SliderValue{value, panel::balanceText(value, texts())};
    }
    if (changed(&HeadsetSnapshot::sidetone) && s.sidetone) {
        update.sidetone = SliderValue{double(s.sidetone->level), number(s.sidetone->level)};
    }
    if (changed(&HeadsetSnapshot::ambient) && s.ambient) {
        update.ancIndex = panel::indexIn(panel::ancModes, s.ambient->mode);
        update.ambientLevel = SliderValue{double(s.ambient->ambientLevel), number(s.ambient->ambientLevel)};
        update.voiceFocus = s.ambient->voiceFocus;
        setAmbientRowsVisible(update.visibility, s.ambient->mode == NoiseCancellingMode::ambientSound);
    }
    if (changed(&HeadsetSnapshot::autoPowerOff) && s.autoPowerOff) {
        update.autoPowerOffIndex = panel::indexIn(panel::autoPowerOffChoices, *s.autoPowerOff);
    }
    if (changed(&HeadsetSnapshot::led) && s.led) update.led = s.led->isOn;
    if (changed(&HeadsetSnapshot::bluetoothSoundMode) && s.bluetoothSoundMode) {
        update.btModeIndex = panel::indexIn(panel::btModes, *s.bluetoothSoundMode);
    }
    if (changed(&HeadsetSnapshot::bluetoothStartupMode) && s.bluetoothStartupMode) {
        update.btStartupIndex = panel::indexIn(panel::btStartups, *s.bluetoothStartupMode);
    }
    if (changed(&HeadsetSnapshot::ncStartupMode) && s.ncStartupMode) {
        update.ncStartupIndex = panel::indexIn(panel::ncStartups, *s.ncStartupMode);
    }
    shown_ = s;
    return update;
}

void PanelModel::showHeader(PanelUpdate& update, const HeadsetSnapshot& s) {
    update.header = panel::headerText(s, texts());
    const bool hidden = update.header->headsetPartsHidden;
    update.visibility.headsetBluetoothRowsHidden = hidden;
    if (headsetCardsHidden_ != hidden) {
        headsetCardsHidden_ = hidden;
        update.visibility.headsetCardsHidden = hidden;
        update.visibility.relimit = true;
    }
}

void PanelModel::setAmbientRowsVisible(VisibilityChange& change, bool visible) {
    if (ambientRowsVisible_ == visible) return;
    ambientRowsVisible_ = visible;
    change.ambientRowsVisible = visible;
    change.relimit = true;
}

PanelLabels PanelModel::labels() const {
    return panel::labels(texts(), AppVersion::current(), UpdateChecker::interval(options_.defaults),
                         MenuBarPreferences::trayIconColour(options_.defaults));
}

UpdateRow PanelModel::updateRow(const UpdateChecker::State& state) const { return panel::updateRow(state, texts()); }

std::optional<ReleaseInfo> PanelModel::releaseToDownload(const UpdateChecker::State& state) {
    if (const auto* available = std::get_if<UpdateChecker::Available>(&state)) return available->release;
    return std::nullopt;
}

void PanelModel::scheduleWrite(const std::string& key, std::vector<EventID> events,
                               HeadsetController::WriteOperation write) {
    const SteadyTime now = options_.monotonicNow();
    holdUntil_ = now + holdWindow;
    holdCapUntil_ = now + holdCap;
    holding_ = true;
    scheduleHoldCheck(holdWindow);
    // The control no longer shows what the headset said; after the hold it will again.
    if (shown_) shown_ = withoutSettings(*shown_);
    if (const auto pending = pending_.find(key); pending != pending_.end()) options_.calls->cancel(pending->second);
    pending_[key] = options_.calls->callAfter(
        debounceDelay, [this, key, events = std::move(events), write = std::move(write)]() mutable {
            pending_.erase(key);
            const std::uint64_t id = nextWrite_++;
            inFlight_.insert(id);
            options_.apply(std::move(events), std::move(write),
                           [self = std::weak_ptr<PanelModel*>(self_), id](const std::optional<HeadsetController::Failure>&) {
                               if (const auto model = self.lock()) (*model)->writeDone(id);
                           });
        });
}

void PanelModel::writeDone(std::uint64_t write) {
    if (inFlight_.erase(write) != 0) endHoldIfDone();
}

void PanelModel::scheduleHoldCheck(std::chrono::milliseconds after) {
    if (holdCheck_) options_.calls->cancel(*holdCheck_);
    holdCheck_ = options_.calls->callAfter(after, [this] {
        holdCheck_.reset();
        const SteadyTime now = options_.monotonicNow();
        if (now >= holdCapUntil_) inFlight_.clear();  // given up: they no longer hold anything
        if (isHolding()) {
            const SteadyTime next = now < holdUntil_ ? holdUntil_ : holdCapUntil_;
            scheduleHoldCheck(std::max(std::chrono::ceil<std::chrono::milliseconds>(next - now), std::chrono::milliseconds(1)));
            return;
        }
        endHoldIfDone();
    });
}

void PanelModel::endHoldIfDone() {
    if (!holding_ || isHolding()) return;
    holding_ = false;
    if (holdCheck_) {
        options_.calls->cancel(*holdCheck_);
        holdCheck_.reset();
    }
    if (options_.holdEnded) options_.holdEnded();
}

void PanelModel::writeSetting(const std::string& key, std::string_view setting, SettingWrite write) {
    // The item whose notifications are the write's echo, as the setting table has it.
    scheduleWrite(key, {findSetting(setting)->item}, std::move(write));
}

QString PanelModel::volumeChanged(double value) {
    const std::uint8_t level = step(value);
    writeSetting("volume", "volume", settingWrites::headphoneVolume(level));
    return number(level);
}

QString PanelModel::balanceChanged(double value) {
    writeSetting("balance", "balance", settingWrites::balance(halfStep(value)));
    return balanceText(value);
}

QString PanelModel::balanceText(double value) const { return panel::balanceText(halfStep(value), texts()); }

QString PanelModel::sidetoneChanged(double value) {
    const std::uint8_t level = step(value);
    writeSetting("sidetone", "sidetone", settingWrites::sidetone(level));
    return number(level);
}

QString PanelModel::ambientLevelChanged(double value) {
    const std::uint8_t level = step(value);
    writeSetting("ambient", "ambient-level", settingWrites::ambientLevel(level));
    return number(level);
}

VisibilityChange PanelModel::ancChanged(int index) {
    VisibilityChange change;
    const auto mode = panel::entryAt(panel::ancModes, index);
    if (!mode) return change;
    setAmbientRowsVisible(change, *mode == NoiseCancellingMode::ambientSound);
    writeSetting("anc", "anc", settingWrites::noiseCancelling(*mode));
    return change;
}

void PanelModel::voiceFocusChanged(bool on) { writeSetting("voiceFocus", "voice-focus", settingWrites::voiceFocus(on)); }

void PanelModel::autoPowerOffChanged(int index) {
    chooseAndWrite("autoPowerOff", "auto-power-off", panel::autoPowerOffChoices, index, &settingWrites::autoPowerOff);
}

void PanelModel::btModeChanged(int index) {
    chooseAndWrite("btMode", "bt-sound", panel::btModes, index, &settingWrites::bluetoothSound);
}

void PanelModel::btStartupChanged(int index) {
    chooseAndWrite("btStartup", "bt-startup", panel::btStartups, index, &settingWrites::bluetoothStartup);
}

void PanelModel::ncStartupChanged(int index) {
    chooseAndWrite("ncStartup", "nc-startup", panel::ncStartups, index, &settingWrites::ncStartup);
}

void PanelModel::ledChanged(bool on) { writeSetting("led", "led", settingWrites::led(on)); }

StoredSettings PanelModel::storedSettings() const {
    StoredSettings stored;
    stored.switches = {MenuBarPreferences::flag(MenuBarPreferences::showsBatteryText, true, options_.defaults),
                       MenuBarPreferences::flag(MenuBarPreferences::showsVolumeText, false, options_.defaults),
                       MenuBarPreferences::flag(MenuBarPreferences::showsDockIcon, false, options_.defaults),
                       options_.autostart.isEnabled(),
                       MenuBarPreferences::flag(MenuBarPreferences::lowBatteryAlerts, true, options_.defaults)};
    stored.trayIconColourIndex =
        panel::indexIn(allTrayIconColours, MenuBarPreferences::trayIconColour(options_.defaults)).value_or(-1);
    stored.languageIndex = panel::indexIn(allLanguages, texts().language()).value_or(-1);
    stored.updateIntervalIndex = panel::indexIn(allUpdateCheckIntervals, UpdateChecker::interval(options_.defaults)).value_or(-1);
    if (notSaved_) stored.notSaved = panel::notSavedText(*notSaved_, texts(), options_.home);
    return stored;
}

StoredSettings PanelModel::saved(bool ok, const QString& filePath) {
    if (ok) {
        notSaved_.reset();
    } else {
        notSaved_ = SaveFailure::diagnose(filePath);
    }
    return storedSettings();
}

StoredSettings PanelModel::flagChanged(const QString& key, bool on) {
    return saved(MenuBarPreferences::setFlag(key, on, options_.defaults), options_.defaults.filePath());
}

StoredSettings PanelModel::batteryTextChanged(bool on) { return flagChanged(MenuBarPreferences::showsBatteryText, on); }
StoredSettings PanelModel::volumeTextChanged(bool on) { return flagChanged(MenuBarPreferences::showsVolumeText, on); }
StoredSettings PanelModel::dockChanged(bool on) { return flagChanged(MenuBarPreferences::showsDockIcon, on); }
StoredSettings PanelModel::lowBatteryAlertsChanged(bool on) { return flagChanged(MenuBarPreferences::lowBatteryAlerts, on); }

StoredSettings PanelModel::startAtLoginChanged(bool on) {
    return saved(options_.autostart.setEnabled(on) == on, options_.autostart.path());
}

StoredSettings PanelModel::trayIconColourChanged(int index) {
    const auto colour = panel::entryAt(allTrayIconColours, index);
    if (!colour) return storedSettings();
    return saved(MenuBarPreferences::setTrayIconColour(*colour, options_.defaults), options_.defaults.filePath());
}

StoredSettings PanelModel::languageChanged(int index) {
    const auto language = panel::entryAt(allLanguages, index);
    if (!language) return storedSettings();
    return saved(options_.texts->setLanguage(*language), options_.defaults.filePath());
}

StoredSettings PanelModel::updateIntervalChanged(int index) {
    const auto interval = panel::entryAt(allUpdateCheckIntervals, index);
    if (!interval) return storedSettings();
    return saved(UpdateChecker::setInterval(*interval, options_.defaults), options_.defaults.filePath());
}

std::ostream& operator<<(std::ostream& out, const PanelUpdate& u) {
    const auto item = [&](const char* name, const auto& value) {
        if (value) out << ' ' << name << '=' << *value;
    };
    out << '{';
    if (u.header) out << " header=\"" << u.header->device.toStdString() << "\"";
    item("battery", u.battery);
    item("computerLink", u.computerLink);
    if (u.volume) out << " volume=" << u.volume->value;
    if (u.balance) out << " balance=" << u.balance->value;
    if (u.sidetone) out << " sidetone=" << u.sidetone->value;
    if (u.ambientLevel) out << " ambientLevel=" << u.ambientLevel->value;
    item("mic", u.mic);
    item("anc", u.ancIndex);
    item("autoPowerOff", u.autoPowerOffIndex);
    item("btMode", u.btModeIndex);
    item("btStartup", u.btStartupIndex);
    item("ncStartup", u.ncStartupIndex);
    item("voiceFocus", u.voiceFocus);
    item("led", u.led);
    if (u.btState) out << " btState=\"" << u.btState->toStdString() << '"';
    item("cardsHidden", u.visibility.headsetCardsHidden);
    item("ambientRows", u.visibility.ambientRowsVisible);
    if (u.visibility.relimit) out << " relimit";
    return out << " }";
}

}  // namespace avrane
