#pragma once

#include <chrono>
#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QString>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Localization/Localization.h"
#include "AvraneBar/Panel/DelayedCalls.h"
#include "AvraneBar/Panel/PanelLabels.h"
#include "AvraneBar/Panel/PanelTexts.h"
#include "AvraneBar/Panel/PopUpLists.h"
#include "AvraneBar/Preferences/AutostartEntry.h"
#include "AvraneDefaults/UserDefaults.h"
#include "AvraneKit/Client/SettingTable.h"
#include "AvraneUpdate/UpdateChecker.h"

namespace avrane {

// A slider's position and the value text beside its title.
struct SliderValue {
    double value = 0;
    QString text;

    bool operator==(const SliderValue&) const = default;
};

// Which groups of views to show. Each member present is a change to make.
struct VisibilityChange {
    std::optional<bool> headsetCardsHidden;          // sound, microphone, noise cancelling, power
    std::optional<bool> headsetBluetoothRowsHidden;  // the headset's own Bluetooth rows
    std::optional<bool> ambientRowsVisible;          // ambient level and voice focus
    bool relimit = false;                            // the panel's size limits follow the content

    bool operator==(const VisibilityChange&) const = default;
};

// The switches of the menu-bar card, which follow the stored preferences (and the autostart
// entry) at every render.
struct MenuBarSwitches {
    bool batteryText = true;
    bool volumeText = false;
    bool dock = false;
    bool startAtLogin = false;
    bool lowBatteryAlerts = true;

    bool operator==(const MenuBarSwitches&) const = default;
};

// The settings the panel shows beside the headset's, as stored: the menu-bar switches, the
// language and the update interval, and the line about a choice that could not be saved.
struct StoredSettings {
    MenuBarSwitches switches;
    int trayIconColourIndex = -1;
    int languageIndex = -1;
    int updateIntervalIndex = -1;
    std::optional<QString> notSaved;  // nothing: no line

    bool operator==(const StoredSettings&) const = default;
};

// What one render changes in the panel. Absent members leave their views alone.
struct PanelUpdate {
    std::optional<HeaderText> header;
    std::optional<BatteryLine> battery;
    std::optional<ToneText> computerLink;
    MenuBarSwitches switches;
    std::optional<SliderValue> volume, balance, sidetone, ambientLevel;
    std::optional<ToneText> mic;
    std::optional<int> ancIndex, autoPowerOffIndex, btModeIndex, btStartupIndex, ncStartupIndex;
    std::optional<bool> voiceFocus, led;
    std::optional<QString> btState;
    VisibilityChange visibility;

    bool operator==(const PanelUpdate&) const = default;
};

// Everything the settings panel decides, without a display: what each snapshot, update state
// and language shows, and what each control does. A control's change shows at once, is
// written to the headset 0.15 s after the control last moved (one pending write per
// control), and keeps snapshots from moving the setting controls for at least 1 s and until
// the headset has answered every write handed over meanwhile (5 s at most), so that neither
// the answer to an earlier step nor a snapshot from before the write pulls a control back
// under the user's hand. Main thread only.
class PanelModel {
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    // Hands a write to the controller; `done` runs on the main thread once the write has gone
    // through and its result is published, or has failed.
    using Apply = std::function<void(std::vector<EventID>, HeadsetController::WriteOperation,
                                     HeadsetController::Completion done)>;

    struct Options {
        Apply apply;                     // hands a write to the controller; required
        DelayedCalls* calls = nullptr;   // the debounce timers; required, outlives the model
        Localization* texts = nullptr;   // nothing: the shared instance
        UserDefaults defaults = UserDefaults::standard();
        AutostartEntry autostart;        // the user's entry for the running program
        NowFunction now;                 // wall clock: how long ago the battery changed
        std::function<SteadyTime()> monotonicNow;  // the hold window
        QString home;                    // nothing: the user's; shortens folders in the notSaved line
        // The hold is over: the panel renders the latest snapshot, which shows every setting
        // control again.
        std::function<void()> holdEnded;
    };

    static constexpr std::chrono::milliseconds debounceDelay{150};
    static constexpr std::chrono::milliseconds holdWindow{1000};
    // The longest the hold waits for the headset's answer after the last change: a write
    // that does not come back by then (a headset that stopped answering) is given up.
    static constexpr std::chrono::milliseconds holdCap{5000};

    explicit PanelModel(Options options);
    // Pending writes are dropped, not sent.
    ~PanelModel();
    PanelModel(const PanelModel&) = delete;
    PanelModel& operator=(const PanelModel&) = delete;

    // Only what differs from the snapshot last rendered is shown; while the hold lasts, the
    // setting controls stay as the user left them, and the next render after it shows them all
    // from the headset's values, whatever changed meanwhile. The stored settings are not part
    // of it (`storedSettings`).
    PanelUpdate render(const HeadsetSnapshot& snapshot);
    // The next render then fills every view (after a change of language).
    void forgetShown() { shown_.reset(); }
    const std::optional<HeadsetSnapshot>& shown() const { return shown_; }
    bool isHolding() const;

    PanelLabels labels() const;
    UpdateRow updateRow(const UpdateChecker::State& state) const;
    // The release the action button downloads: only in the `available` state.
    static std::optional<ReleaseInfo> releaseToDownload(const UpdateChecker::State& state);

    // Sliders: each returns the value text to show at once.
    QString volumeChanged(double value);
    QString balanceChanged(double value);
    // What the balance slider shows at `value`, without a write: after a change of language
    // the held slider keeps its place and takes the new words.
    QString balanceText(double value) const;
    QString sidetoneChanged(double value);
    QString ambientLevelChanged(double value);
    // Pop-ups: an index outside the list (-1 is no selection) does nothing at all. Choosing
    // ambient sound shows its rows before the headset answers.
    VisibilityChange ancChanged(int index);
    void autoPowerOffChanged(int index);
    void btModeChanged(int index);
    void btStartupChanged(int index);
    void ncStartupChanged(int index);
    void voiceFocusChanged(bool on);
    void ledChanged(bool on);
    // Preferences, language, update interval and the autostart entry: stored (and announced)
    // at once, no write to the headset. Each returns what the panel shows then: the stored
    // values, so that a choice that could not be saved goes back, with a line on why.
    StoredSettings batteryTextChanged(bool on);
    StoredSettings volumeTextChanged(bool on);
    StoredSettings dockChanged(bool on);
    StoredSettings lowBatteryAlertsChanged(bool on);
    StoredSettings startAtLoginChanged(bool on);
    StoredSettings trayIconColourChanged(int index);
    StoredSettings languageChanged(int index);
    StoredSettings updateIntervalChanged(int index);
    // As stored now, with the line on the last choice that could not be saved (until a later
    // one is saved, or `forgetNotSaved`).
    StoredSettings storedSettings() const;
    void forgetNotSaved() { notSaved_.reset(); }

    std::size_t pendingWriteCount() const { return pending_.size(); }
    bool hasPendingWrite(const std::string& key) const { return pending_.count(key) != 0; }

private:
    void scheduleWrite(const std::string& key, std::vector<EventID> events, HeadsetController::WriteOperation write);
    void scheduleHoldCheck(std::chrono::milliseconds after);
    void endHoldIfDone();
    void writeDone(std::uint64_t write);
    StoredSettings saved(bool ok, const QString& filePath);
    StoredSettings flagChanged(const QString& key, bool on);
    void writeSetting(const std::string& key, std::string_view setting, SettingWrite write);
    // A pop-up of single-byte settings: entry `index` of `choices`, written with `write`.
    template <class T, std::size_t N>
    void chooseAndWrite(const std::string& key, std::string_view setting, const std::array<T, N>& choices, int index,
                        SettingWrite (*write)(T)) {
        if (const std::optional<T> choice = panel::entryAt(choices, index)) writeSetting(key, setting, write(*choice));
    }
    void showHeader(PanelUpdate& update, const HeadsetSnapshot& snapshot);
    void setAmbientRowsVisible(VisibilityChange& change, bool visible);
    const Localization& texts() const { return *options_.texts; }

    Options options_;
    std::optional<HeadsetSnapshot> shown_;
    SteadyTime holdUntil_ = SteadyTime::min();     // 1 s after the last change
    SteadyTime holdCapUntil_ = SteadyTime::min();  // `holdCap` after it
    bool holding_ = false;                         // until `holdEnded` has been called
    std::map<std::string, DelayedCalls::Token> pending_;
    std::set<std::uint64_t> inFlight_;  // writes handed over and not yet answered
    std::uint64_t nextWrite_ = 1;
    std::optional<DelayedCalls::Token> holdCheck_;
    std::optional<SaveFailure> notSaved_;
    // Completions that arrive after the model is gone find it expired.
    std::shared_ptr<PanelModel*> self_ = std::make_shared<PanelModel*>(this);
    // The views' visibility as last set; all views start shown.
    bool headsetCardsHidden_ = false;
    bool ambientRowsVisible_ = true;
};

std::ostream& operator<<(std::ostream& out, const PanelUpdate& update);

}  // namespace avrane
