#include "AvraneBar/Controller/HeadsetController.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "AvraneBar/Controller/ThreadName.h"
#include "AvraneKit/Discovery/DeviceDiscovery.h"

namespace avrane {
namespace {

using Availability = HeadsetSnapshot::Availability;

// Why connecting failed, as the interface tells it: a dongle that this user may not open, or
// one that another program holds, is there, and the panel says what to do rather than asking
// to plug it in.
Availability connectFailure(const std::exception& error) {
    const auto* port = dynamic_cast<const SerialPort::Failure*>(&error);
    if (port && port->isInUse()) return Availability::dongleInUse(error.what());
    return Availability::noDongle(error.what(), port && port->isPermissionDenied());
}

// Where the line cannot wake the pump thread (it could not be watched), the pump reads it
// on the rhythm it had before it could sleep.
constexpr std::chrono::milliseconds unwatchedLineWait{250};

void setBattery(HeadsetSnapshot& snapshot, const BatteryInfo& battery) {
    snapshot.batteryPercent = battery.percent;
    snapshot.batteryCharging = battery.isCharging();
}

// The field a notification carries, decoded into a copy of the snapshot. False when the
// event is not one the snapshot follows from notifications (or a battery payload is
// unreadable); a bad payload for the other events leaves the field as it was.
bool patch(HeadsetSnapshot& snapshot, const Packet& packet) {
    const auto set = [&]<class T>(std::optional<T>& field) {
        if (auto value = decodePayload<T>(packet.param)) field = *value;
        return true;
    };
    switch (packet.eventID) {
        case EventID::batteryInfo:
            if (const auto battery = BatteryInfo::decode(packet.param)) {
                setBattery(snapshot, *battery);
                return true;
            }
            return false;
        case EventID::headphoneVolume: return set(snapshot.volume);
        case EventID::gameChatMixBalance: return set(snapshot.balance);
        case EventID::sidetoneVolume: return set(snapshot.sidetone);
        case EventID::micVolume:
            if (const auto mic = MicrophoneVolume::decode(packet.param)) snapshot.micMuted = mic->isMuted;
            return true;
        case EventID::ambSetting: return set(snapshot.ambient);
        case EventID::autoPowerOffSetting: return set(snapshot.autoPowerOff);
        case EventID::ledSetting: return set(snapshot.led);
        default: return false;
    }
}

double seconds(std::chrono::milliseconds duration) { return std::chrono::duration<double>(duration).count(); }

}  // namespace

HeadsetController::HeadsetController(Options options) : options_(std::move(options)) {
    if (!options_.runOnMainThread) {
        throw std::invalid_argument("HeadsetController needs a way to reach the main thread");
    }
    if (!options_.clock) options_.clock = [] { return SteadyClock::now(); };
    if (!options_.wallClock) options_.wallClock = [] { return std::chrono::system_clock::now(); };
    if (!options_.connect) options_.connect = [] { return HeadsetClient::connect(); };
    if (!options_.findDongles) {
        options_.findDongles = [] { return DeviceDiscovery::findDongles(DongleModel::serialControlled); };
    }
    if (!options_.bluetoothLink) options_.bluetoothLink = &MacBluetoothLink::current;
    if (!options_.deviceEvents) {
        auto kernel = std::make_shared<KernelDeviceEvents>();
        if (kernel->failure()) options_.trace.failure(wallNow(), "device events", kernel->failure()->description());
        options_.deviceEvents = std::move(kernel);
    }
    readiness_.watch(wake_.fd());
    eventsWatched_ = readiness_.watch(options_.deviceEvents->descriptor());
    if (options_.forcedPort.empty()) {
        if (const char* port = std::getenv(std::string(HeadsetClient::portOverrideVariable).c_str())) options_.forcedPort = port;
    }
    watchForcedPort(true);
}

HeadsetController::~HeadsetController() {
    if (pump_.joinable()) {
        pump_.request_stop();
        wake_.signal();  // out of its sleep at once
        pump_.join();
    }
}

void HeadsetController::start() {
    refresh();
    pump_ = std::jthread([this](std::stop_token stop) { pumpLoop(stop); });
    nameThread(pump_.native_handle(), pumpThreadName);
}

// Queued work may move due times (a sync pushes them back, a failed write drops the link),
// so the pump thread wakes after it to work out its sleep again.
void HeadsetController::refresh() {
    queue_.async([this] { fullSync(); });
    wake_.signal();
}

void HeadsetController::apply(std::vector<EventID> events, WriteOperation operation, Completion done) {
    queue_.async([this, events = std::move(events), operation = std::move(operation), done = std::move(done)] {
        write(events, operation, done, std::nullopt);
    });
    wake_.signal();
}

namespace {

HeadsetController::Failure deadlinePassed() {
    return {HeadsetController::Failure::Kind::deadlinePassed,
            "not sent: the request waited past its caller's deadline behind other work"};
}

}  // namespace

void HeadsetController::applyForCaller(std::vector<EventID> events, WriteOperation operation, DueTime deadline,
                                       Completion done, std::function<void()> written) {
    queue_.async(
        [this, events = std::move(events), operation = std::move(operation), deadline, done = std::move(done),
         written = std::move(written)] {
            if (now() >= deadline) return complete(done, deadlinePassed());
            write(events, operation, done, deadline, written);
        },
        SerialQueue::Lane::background);
    wake_.signal();
}

void HeadsetController::performForCaller(WriteOperation operation, DueTime deadline, Completion done) {
    queue_.async(
        [this, operation = std::move(operation), deadline, done = std::move(done)] {
            if (now() >= deadline) return complete(done, deadlinePassed());
            complete(done, withClient({}, operation, deadline));
        },
        SerialQueue::Lane::background);
    wake_.signal();
}

void HeadsetController::refreshForCaller() {
    if (callerRefreshQueued_.exchange(true)) return;
    queue_.async(
        [this] {
            // From here on a new ask wants a read that starts after this one.
            callerRefreshQueued_ = false;
            fullSync();
        },
        SerialQueue::Lane::background);
    wake_.signal();
}

void HeadsetController::complete(const Completion& done, std::optional<Failure> failure) {
    // Behind the snapshots the work published: in order on the main thread.
    if (done) options_.runOnMainThread([done, failure = std::move(failure)] { done(failure); });
}

HeadsetSnapshot HeadsetController::snapshot() const {
    const std::lock_guard lock(publishedLock_);
    return published_;
}

void HeadsetController::setOnChange(ChangeHandler handler) { *onChange_ = std::move(handler); }

void HeadsetController::runPumpStep(std::chrono::milliseconds lineWait) {
    queue_.sync([this, lineWait] { pumpOnce(lineWait); });
}

HeadsetController::PumpWait HeadsetController::pumpWait() {
    return queue_.sync([this] { return nextWait(now()); });
}

void HeadsetController::waitUntilIdle() {
    queue_.sync([] {});
}

void HeadsetController::pumpLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        // One visit to the queue per step, the length of the sleep included: each visit
        // wakes two threads, which is most of what an idle controller costs.
        const Duration sleep = queue_.sync([this] {
            pumpOnce(std::chrono::milliseconds::zero());
            const Duration wait = nextWait(now()).wait;
            return client_ && !lineWatched_ ? std::min<Duration>(wait, unwatchedLineWait) : wait;
        });
        readiness_.wait(sleep);
        // Whoever signalled has queued work ahead of the next step; it runs first.
        wake_.clear();
    }
}

HeadsetController::PumpWait HeadsetController::nextWait(DueTime time) const {
    PumpWait next{Due::bluetoothCheck, Duration::zero()};
    DueTime at = nextBluetoothCheck_;
    const auto consider = [&](Due due, DueTime when) {
        if (when < at) {
            at = when;
            next.due = due;
        }
    };
    if (client_) {
        if (client_->dongle().model != DongleModel::virtualPort) consider(Due::dongleCheck, nextDongleCheck_);
        consider(Due::fullSync, nextResync_);
        for (const auto& held : heldEchoes_) consider(Due::fullSync, quietUntil_.at(held.first));
        consider(Due::batteryPoll, nextBatteryPoll_);
    } else {
        consider(Due::connectAttempt, nextConnectAttempt_);
    }
    // Compared first: the distant past minus now would overflow.
    if (at > time) next.wait = at - time;
    return next;
}

void HeadsetController::pumpOnce(std::chrono::milliseconds lineWait) {
    DueTime time = now();
    if (time >= nextBluetoothCheck_) {
        const bool panelOpen = isPanelVisible_.load(std::memory_order_relaxed);
        nextBluetoothCheck_ = time + (panelOpen ? bluetoothCheckPanelOpen : bluetoothCheckPanelClosed);
        const MacBluetoothLink link = options_.bluetoothLink();
        if (link != snapshot_.macBluetooth) {
            HeadsetSnapshot candidate = snapshot_;
            candidate.macBluetooth = link;
            publish(std::move(candidate));
        }
    }

    // The line before the announcements: a dongle pulled out hangs its line up before the
    // kernel announces it gone, and the read failure says more than a silent drop.
    if (client_) {
        client_->onNotification = [this](const Packet& packet) { applyNotification(packet); };
        try {
            client_->pumpNotifications(seconds(lineWait));
        } catch (const std::exception& error) {
            publish(failureSnapshot(Availability::headsetUnreachable(error.what())));
            dropConnection();
        }
    }
    takeDeviceEvents(now());

    HeadsetClient* const client = connectedClient().client;
    if (!client) return;
    time = now();
    settleQuietWindows(time);
    if (time >= nextResync_) {
        fullSync();
    } else if (time >= nextBatteryPoll_) {
        pollBattery(*client);
    }
}

void HeadsetController::takeDeviceEvents(DueTime time) {
    // The device named from outside is back: connect now, as for a dongle announced.
    if (forcedPortWatch_ && forcedPortWatch_->appeared() && !client_) {
        nextConnectAttempt_ = time;
        plugInRetriesLeft_ = plugInRetryDelays.size();
    }
    DeviceEventSource::Batch batch = options_.deviceEvents->take();
    if (batch.failure) options_.trace.failure(wallNow(), "device events", batch.failure->description());
    if (batch.lost) {
        // Anything may have come or gone: look now rather than at the next due time.
        if (client_) nextDongleCheck_ = distantPast;
        else nextConnectAttempt_ = distantPast;
    }
    bool added = false;
    for (const DeviceEvent& event : batch.events) {
        if (event.action == DeviceEvent::Action::add) {
            added = true;
        } else if (client_ && client_->dongle().model != DongleModel::virtualPort &&
                   event.deviceNode == client_->dongle().devicePath) {
            // As the presence check drops a dongle it no longer finds: silently, and the next
            // connect attempt, 2 s on, publishes what is there then.
            dropConnection();
        }
    }
    if (!added) return;
    if (client_) {
        // Another dongle may now be the first one found.
        nextDongleCheck_ = distantPast;
        return;
    }
    // One look at the devices for the whole batch: is one of the new ones a dongle in PC
    // mode? Then connect now, whatever the back-off says, and again for a moment if the
    // node is not ready yet.
    const auto dongles = options_.findDongles();
    const bool plugged = std::any_of(batch.events.begin(), batch.events.end(), [&](const DeviceEvent& event) {
        return event.action == DeviceEvent::Action::add &&
               std::any_of(dongles.begin(), dongles.end(),
                           [&](const DiscoveredDongle& dongle) { return dongle.devicePath == event.deviceNode; });
    });
    if (plugged) {
        nextConnectAttempt_ = time;
        plugInRetriesLeft_ = plugInRetryDelays.size();
    }
}

// Only while no client is held: a watch on /dev/pts would wake the pump for every terminal
// opened meanwhile.
void HeadsetController::watchForcedPort(bool watching) {
    if (!watching) {
        if (forcedPortWatch_) readiness_.unwatch(forcedPortWatch_->descriptor());
        forcedPortWatch_.reset();
    } else if (!forcedPortWatch_ && !options_.forcedPort.empty()) {
        forcedPortWatch_ = std::make_unique<PathWatch>(options_.forcedPort);
        readiness_.watch(forcedPortWatch_->descriptor());
    }
}

bool HeadsetController::checksPresenceOften() const {
    return !eventsWatched_ || !options_.deviceEvents->deliversEvents();
}

HeadsetController::Connection HeadsetController::connectedClient() {
    const DueTime time = now();
    if (client_) {
        // A forced device path is nobody's to look for.
        if (client_->dongle().model == DongleModel::virtualPort) return {client_.get(), {}};
        if (time < nextDongleCheck_) return {client_.get(), {}};
        nextDongleCheck_ = time + (checksPresenceOften() ? dongleCheckInterval : dongleCheckIntervalWithEvents);
        const auto dongles = options_.findDongles();
        if (!dongles.empty() && dongles.front().devicePath == client_->dongle().devicePath) {
            return {client_.get(), {}};
        }
        dropConnection();  // gone, or no longer the first: the next attempt is 2 s away
    }
    if (time < nextConnectAttempt_) return {};

    std::unique_ptr<HeadsetClient> client;
    try {
        client = options_.connect();
    } catch (const std::exception& error) {
        if (plugInRetriesLeft_ > 0) {
            // Just plugged in: most likely the node is not ready yet, which is not worth
            // showing for the moment it lasts.
            nextConnectAttempt_ = time + plugInRetryDelays[plugInRetryDelays.size() - plugInRetriesLeft_];
            --plugInRetriesLeft_;
            options_.trace.failure(wallNow(), "connect after plug-in", error.what());
        } else {
            reconnectDelay_ = std::min<Duration>(reconnectDelay_ * 2, longestReconnectDelay);
            nextConnectAttempt_ = time + reconnectDelay_;
            publish(failureSnapshot(connectFailure(error)));
        }
        return {nullptr, std::current_exception()};
    }
    plugInRetriesLeft_ = 0;
    reconnectDelay_ = initialReconnectDelay;
    client->replyTimeout = seconds(options_.replyTimeout);
    client->retryCount = options_.retryCount;
    // From the start, so that nothing the headset announces during the first full sync is
    // lost before the first pump step installs it again.
    client->onNotification = [this](const Packet& packet) { applyNotification(packet); };
    client_ = std::move(client);
    watchForcedPort(false);
    lineWatched_ = readiness_.watch(client_->port().descriptor());
    synced_ = false;
    nextResync_ = distantPast;
    return {client_.get(), {}};
}

void HeadsetController::dropConnection() {
    if (client_) {
        readiness_.unwatch(client_->port().descriptor());
        client_->close();
    }
    client_.reset();
    watchForcedPort(true);
    lineWatched_ = false;
    cachedModel_.reset();
    cachedFirmware_.reset();
    synced_ = false;
    syncReading_ = false;
    heldNotifications_.clear();
    heldEchoes_.clear();  // the next connection starts with a full sync
    plugInRetriesLeft_ = 0;
    reconnectDelay_ = initialReconnectDelay;
    nextConnectAttempt_ = now() + initialReconnectDelay;
}

void HeadsetController::fullSync() {
    const DueTime time = now();
    nextResync_ = time + fullSyncInterval;
    nextBatteryPoll_ = time + batteryPollInterval;
    const long generation = writeGeneration_;

    HeadsetClient* const client = connectedClient().client;
    if (!client) return;
    // Held from an earlier connection's first sync or from a sync that published nothing,
    // they are older than what is read now.
    if (synced_) heldNotifications_.clear();
    syncReading_ = true;
    HeadsetState state;
    try {
        state = client->state();
    } catch (const std::exception& error) {
        syncReading_ = false;
        publish(failureSnapshot(Availability::headsetUnreachable(error.what())));
        dropConnection();
        return;
    }
    // Read once per connection, and again at every sync while they keep failing.
    if (!cachedModel_) {
        try {
            cachedModel_ = client->modelInfo();
        } catch (const std::exception& error) {
            options_.trace.failure(wallNow(), "modelInfo read", error.what());
        }
    }
    if (!cachedFirmware_) {
        try {
            cachedFirmware_ = client->firmwareVersion();
        } catch (const std::exception& error) {
            options_.trace.failure(wallNow(), "firmwareVersion read", error.what());
        }
    }

    HeadsetSnapshot candidate;
    candidate.availability = Availability::connected();
    candidate.dongleName = client->dongle().model.name;
    candidate.dongle = client->dongle();
    candidate.model = cachedModel_;
    candidate.firmware = cachedFirmware_;
    if (state.battery) setBattery(candidate, *state.battery);
    candidate.volume = state.headphoneVolume;
    candidate.balance = state.gameChatBalance;
    candidate.sidetone = state.sidetoneVolume;
    if (state.microphoneVolume) candidate.micMuted = state.microphoneVolume->isMuted;
    candidate.ambient = state.ambient;
    candidate.bluetooth = state.bluetooth;
    candidate.bluetoothSoundMode = state.bluetoothSoundMode;
    candidate.bluetoothStartupMode = state.bluetoothStartupMode;
    candidate.ncStartupMode = state.ncStartupMode;
    candidate.macBluetooth = snapshot_.macBluetooth;
    candidate.autoPowerOff = state.autoPowerOff;
    candidate.led = state.led;
    syncReading_ = false;
    if (writeGeneration_ != generation) return;
    for (const Packet& held : std::exchange(heldNotifications_, {})) patch(candidate, held);
    publish(std::move(candidate));
    synced_ = true;
}

void HeadsetController::pollBattery(HeadsetClient& client) {
    nextBatteryPoll_ = now() + batteryPollInterval;
    try {
        const BatteryInfo battery = client.batteryInfo();
        HeadsetSnapshot candidate = snapshot_;
        setBattery(candidate, battery);
        publish(std::move(candidate));
    } catch (const std::exception& error) {
        // The link stays: a headset out of range comes back on the same dongle.
        publish(failureSnapshot(Availability::headsetUnreachable(error.what())));
    }
}

void HeadsetController::write(const std::vector<EventID>& events, const WriteOperation& operation,
                              const Completion& done, std::optional<DueTime> deadline,
                              const std::function<void()>& written) {
    ++writeGeneration_;
    // Set before the write runs: its echo may arrive inside the write's own exchange.
    const DueTime quietEnd = now() + quietWindow;
    for (const EventID event : events) quietUntil_[event] = quietEnd;
    std::optional<Failure> failure = withClient(events, operation, deadline);
    // A failure is told at once; a write that went through, once its result is published
    // (a sync with a silent headset can take many seconds), unless its caller has stopped
    // waiting by then.
    const bool toldNow = failure.has_value() || (deadline && now() >= *deadline);
    if (toldNow) complete(done, std::move(failure));
    else if (written) options_.runOnMainThread(written);
    fullSync();
    if (!toldNow) complete(done, std::nullopt);
}

std::optional<HeadsetController::Failure> HeadsetController::withClient(const std::vector<EventID>& events,
                                                                        const WriteOperation& operation,
                                                                        std::optional<DueTime> deadline) {
    const Connection connection = connectedClient();
    HeadsetClient* const client = connection.client;
    try {
        if (connection.failure) std::rethrow_exception(connection.failure);
        if (!client) {
            // No connect attempt is due: the write is lost, and the back-off goes on as it was.
            options_.trace.writeFailure(wallNow(), events, backingOff);
            return notConnected();
        }
        struct Unlimit {
            HeadsetClient& client;
            ~Unlimit() { client.maySend = nullptr; }
        } unlimit{*client};
        if (deadline) client->maySend = [this, at = *deadline] { return now() < at; };
        operation(*client);
        return std::nullopt;
    } catch (const SerialPort::Failure& error) {
        options_.trace.writeFailure(wallNow(), events, error.description());
        const bool unconfirmed = client && client->lastSetUnanswered();
        dropConnection();
        if (unconfirmed) {
            return Failure{Failure::Kind::unconfirmed,
                           "the line failed before the headset confirmed the write, which it may have taken (" +
                               error.description() + ")"};
        }
        return Failure{Failure::Kind::failed, error.description()};
    } catch (const HeadsetClient::Failure& error) {
        options_.trace.writeFailure(wallNow(), events, error.description());
        switch (error.kind()) {
            case HeadsetClient::Failure::Kind::notSent: return deadlinePassed();
            case HeadsetClient::Failure::Kind::timeout: return Failure{Failure::Kind::noReply, error.description()};
            default: return Failure{Failure::Kind::failed, error.description()};
        }
    } catch (const std::exception& error) {
        // No dongle to connect to, a refused value: the link itself is fine.
        options_.trace.writeFailure(wallNow(), events, error.what());
        return Failure{Failure::Kind::failed, error.what()};
    }
}

HeadsetController::Failure HeadsetController::notConnected() const {
    const Availability& availability = snapshot_.availability;
    const std::string& reason = availability.text();
    switch (availability.kind()) {
        case Availability::Kind::headsetUnreachable:
            return {Failure::Kind::notConnected,
                    "the headset is not reachable at the moment" + (reason.empty() ? "" : ": " + reason) +
                        " (AvraneBar tries again shortly)"};
        case Availability::Kind::noDongle:
        case Availability::Kind::connected:
            break;
    }
    return {Failure::Kind::notConnected,
            "no dongle at the moment" + (reason.empty() ? std::string() : ": " + reason) +
                " (AvraneBar tries again shortly)"};
}

void HeadsetController::applyNotification(const Packet& packet) {
    const TimePoint wall = wallNow();
    if (const auto quiet = quietUntil_.find(packet.eventID); quiet != quietUntil_.end()) {
        if (now() < quiet->second) {
            options_.trace.notification(wall, packet, true);
            heldEchoes_.insert_or_assign(packet.eventID, packet);
            return;
        }
        quietUntil_.erase(quiet);
        heldEchoes_.erase(packet.eventID);  // this one is newer
    }
    options_.trace.notification(wall, packet, false);
    if (synced_) publishPatched(packet);
    // Patched into the snapshot of before the connect, it would show a fresh value beside
    // "Looking for dongle…"; it waits for the sync in progress instead. During any sync it
    // is laid over what the sync read, which may be older.
    if (synced_ && !syncReading_) return;
    const auto same = std::find_if(heldNotifications_.begin(), heldNotifications_.end(),
                                   [&](const Packet& held) { return held.eventID == packet.eventID; });
    if (same != heldNotifications_.end()) heldNotifications_.erase(same);
    heldNotifications_.push_back(packet);
}

void HeadsetController::settleQuietWindows(DueTime time) {
    bool stale = false;
    for (auto held = heldEchoes_.begin(); held != heldEchoes_.end();) {
        if (time < quietUntil_.at(held->first)) {
            ++held;
            continue;
        }
        HeadsetSnapshot patched = snapshot_;
        patch(patched, held->second);
        stale = stale || patched != snapshot_;
        quietUntil_.erase(held->first);
        held = heldEchoes_.erase(held);
    }
    if (stale) nextResync_ = time;
}

void HeadsetController::publishPatched(const Packet& packet) {
    HeadsetSnapshot candidate = snapshot_;
    if (patch(candidate, packet)) publish(std::move(candidate));
}

HeadsetSnapshot HeadsetController::failureSnapshot(Availability availability) const {
    HeadsetSnapshot candidate;
    candidate.availability = std::move(availability);
    candidate.dongleName = snapshot_.dongleName;
    candidate.dongle = snapshot_.dongle;
    candidate.macBluetooth = snapshot_.macBluetooth;
    return candidate;
}

void HeadsetController::publish(HeadsetSnapshot candidate) {
    // Only the percent moves the time stamp; absent counts as a value of its own.
    candidate.batteryLevelChangedAt = candidate.batteryPercent == snapshot_.batteryPercent
                                          ? snapshot_.batteryLevelChangedAt
                                          : std::optional<TimePoint>(wallNow());
    if (candidate == snapshot_) return;
    snapshot_ = candidate;
    {
        const std::lock_guard lock(publishedLock_);
        published_ = candidate;
    }
    options_.runOnMainThread([handler = onChange_, delivered = std::move(candidate)] {
        if (*handler) (*handler)(delivered);
    });
}

std::string_view caseName(HeadsetController::Due due) {
    using Due = HeadsetController::Due;
    switch (due) {
        case Due::bluetoothCheck: return "bluetoothCheck";
        case Due::connectAttempt: return "connectAttempt";
        case Due::dongleCheck: return "dongleCheck";
        case Due::fullSync: return "fullSync";
        case Due::batteryPoll: return "batteryPoll";
    }
    return "?";
}

void PrintTo(const HeadsetController::PumpWait& wait, std::ostream* out) {
    *out << caseName(wait.due) << " in "
         << std::chrono::duration_cast<std::chrono::milliseconds>(wait.wait).count() << " ms";
}

}  // namespace avrane
