#include "AvraneBar/Controller/HeadsetController.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <stdexcept>

#include "AvraneBar/Controller/ThreadName.h"
#include "AvraneKit/Discovery/DeviceDiscovery.h"

namespace avrane {
namespace {

using Availability = HeadsetSnapshot::Availability;

// The dongle's device is there, but this user may not open it: the panel then says how to get
// access rather than asking to plug it in.
bool deniesAccess(const std::exception& error) {
    const auto* port = dynamic_cast<const SerialPort::Failure*>(&error);
    return port && port->kind() == SerialPort::Failure::Kind::open &&
           (port->errorNumber() == EACCES || port->errorNumber() == EPERM);
}

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

}  // namespace

HeadsetController::HeadsetController(Options options) : options_(std::move(options)) {
    if (!options_.runOnMainThread) {
        throw std::invalid_argument("HeadsetController needs a way to reach the main thread");
    }
    if (!options_.now) options_.now = [] { return std::chrono::system_clock::now(); };
    if (!options_.connect) options_.connect = [] { return HeadsetClient::connect(); };
    if (!options_.findDongles) {
        options_.findDongles = [] { return DeviceDiscovery::findDongles(DongleModel::serialControlled); };
    }
    if (!options_.bluetoothLink) options_.bluetoothLink = &MacBluetoothLink::current;
}

HeadsetController::~HeadsetController() {
    if (pump_.joinable()) {
        pump_.request_stop();
        wake_.signal();  // out of a read wait at once
        pump_.join();
    }
}

void HeadsetController::start() {
    refresh();
    pump_ = std::jthread([this](std::stop_token stop) { pumpLoop(stop); });
}

void HeadsetController::refresh() {
    queue_.async([this] { fullSync(); });
    wake_.signal();
}

void HeadsetController::apply(std::vector<EventID> events, WriteOperation operation) {
    queue_.async([this, events = std::move(events), operation = std::move(operation)] {
        write(events, operation);
    });
    // The pump step in progress gives up its read wait, so the write goes out now rather
    // than up to a quarter second later.
    wake_.signal();
}

HeadsetSnapshot HeadsetController::snapshot() const {
    const std::lock_guard lock(publishedLock_);
    return published_;
}

void HeadsetController::setOnChange(ChangeHandler handler) { *onChange_ = std::move(handler); }

void HeadsetController::runPumpStep() {
    queue_.sync([this] { pumpOnce(); });
}

void HeadsetController::waitUntilIdle() {
    queue_.sync([] {});
}

void HeadsetController::pumpLoop(std::stop_token stop) {
    nameCurrentThread(pumpThreadName);
    std::mutex pauseLock;
    std::condition_variable_any pause;
    while (!stop.stop_requested()) {
        // One visit to the queue per step, the client question included: each visit wakes
        // two threads, which is most of what an idle controller costs.
        const bool holdsClient = queue_.sync([this] {
            pumpOnce();
            return hasOpenPort();
        });
        // With a client the step has already waited on the line.
        if (holdsClient) continue;
        std::unique_lock lock(pauseLock);
        pause.wait_for(lock, stop, std::chrono::duration<double>(pumpWait), [] { return false; });
    }
}

void HeadsetController::pumpOnce() {
    TimePoint time = now();
    if (time >= nextBluetoothCheck_) {
        const bool panelOpen = isPanelVisible_.load(std::memory_order_relaxed);
        nextBluetoothCheck_ =
            later(time, panelOpen ? bluetoothCheckPanelOpen : bluetoothCheckPanelClosed);
        const MacBluetoothLink link = options_.bluetoothLink();
        if (link != snapshot_.macBluetooth) {
            HeadsetSnapshot candidate = snapshot_;
            candidate.macBluetooth = link;
            publish(std::move(candidate));
        }
    }

    HeadsetClient* client = nullptr;
    try {
        client = &connectedClient();
    } catch (const std::exception&) {
        return;  // already published whatever needed it
    }
    client->onNotification = [this](const Packet& packet) { applyNotification(packet); };
    try {
        client->pumpNotifications(pumpWait, wake_.fd());
    } catch (const std::exception& error) {
        publish(failureSnapshot(Availability::headsetUnreachable(error.what())));
        dropConnection();
        return;
    }
    // Whoever woke us has queued work behind this step; it runs next.
    wake_.clear();

    time = now();
    if (time >= nextResync_) {
        fullSync();
    } else if (time >= nextBatteryPoll_) {
        pollBattery(*client);
    }
}

HeadsetClient& HeadsetController::connectedClient() {
    const TimePoint time = now();
    if (client_) {
        // A forced device path is nobody's to look for.
        if (client_->dongle().model == DongleModel::virtualPort) return *client_;
        if (time < nextDongleCheck_) return *client_;
        nextDongleCheck_ = later(time, dongleCheckInterval);
        const auto dongles = options_.findDongles();
        if (!dongles.empty() && dongles.front().devicePath == client_->dongle().devicePath) {
            return *client_;
        }
        dropConnection();  // gone, or no longer the first: the next attempt is 2 s away
    }
    if (time < nextConnectAttempt_) throw Failure::backingOff();

    std::unique_ptr<HeadsetClient> client;
    try {
        client = options_.connect();
    } catch (const std::exception& error) {
        reconnectDelay_ = std::min(reconnectDelay_ * 2, longestReconnectDelay);
        nextConnectAttempt_ = later(time, reconnectDelay_);
        publish(failureSnapshot(Availability::noDongle(error.what(), deniesAccess(error))));
        throw;
    }
    reconnectDelay_ = initialReconnectDelay;
    client->replyTimeout = options_.replyTimeout;
    client->retryCount = options_.retryCount;
    // From the start, so that nothing the headset announces during the first full sync is
    // lost before the first pump step installs it again.
    client->onNotification = [this](const Packet& packet) { applyNotification(packet); };
    client_ = std::move(client);
    nextResync_ = distantPast;
    return *client_;
}

void HeadsetController::dropConnection() {
    if (client_) client_->close();
    client_.reset();
    cachedModel_.reset();
    cachedFirmware_.reset();
    reconnectDelay_ = initialReconnectDelay;
    nextConnectAttempt_ = later(now(), initialReconnectDelay);
}

void HeadsetController::fullSync() {
    const TimePoint time = now();
    nextResync_ = later(time, fullSyncInterval);
    nextBatteryPoll_ = later(time, batteryPollInterval);
    const long generation = writeGeneration_;

    HeadsetClient* client = nullptr;
    try {
        client = &connectedClient();
    } catch (const std::exception&) {
        return;
    }
    HeadsetState state;
    try {
        state = client->state();
    } catch (const std::exception& error) {
        publish(failureSnapshot(Availability::headsetUnreachable(error.what())));
        dropConnection();
        return;
    }
    // Read once per connection, and again at every sync while they keep failing.
    if (!cachedModel_) {
        try {
            cachedModel_ = client->modelInfo();
        } catch (const std::exception&) {
        }
    }
    if (!cachedFirmware_) {
        try {
            cachedFirmware_ = client->firmwareVersion();
        } catch (const std::exception&) {
        }
    }

    HeadsetSnapshot candidate;
    candidate.availability = Availability::connected();
    candidate.dongleName = client->dongle().model.name;
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
    if (writeGeneration_ == generation) publish(std::move(candidate));
}

void HeadsetController::pollBattery(HeadsetClient& client) {
    nextBatteryPoll_ = later(now(), batteryPollInterval);
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

void HeadsetController::write(const std::vector<EventID>& events, const WriteOperation& operation) {
    ++writeGeneration_;
    // Set before the write runs: its echo may arrive inside the write's own exchange.
    const TimePoint quietEnd = later(now(), quietWindow);
    for (const EventID event : events) quietUntil_[event] = quietEnd;
    try {
        operation(connectedClient());
    } catch (const SerialPort::Failure& error) {
        options_.trace.writeFailure(now(), events, error.description());
        dropConnection();
    } catch (const std::exception& error) {
        // A headset that did not answer, or no client yet: the link itself is fine.
        options_.trace.writeFailure(now(), events, error.what());
    }
    fullSync();
}

void HeadsetController::applyNotification(const Packet& packet) {
    const TimePoint time = now();
    if (const auto quiet = quietUntil_.find(packet.eventID); quiet != quietUntil_.end()) {
        if (time < quiet->second) {
            options_.trace.notification(time, packet, true);
            return;
        }
        quietUntil_.erase(quiet);
    }
    options_.trace.notification(time, packet, false);
    HeadsetSnapshot candidate = snapshot_;
    if (patch(candidate, packet)) publish(std::move(candidate));
}

HeadsetSnapshot HeadsetController::failureSnapshot(Availability availability) const {
    HeadsetSnapshot candidate;
    candidate.availability = std::move(availability);
    candidate.dongleName = snapshot_.dongleName;
    candidate.macBluetooth = snapshot_.macBluetooth;
    return candidate;
}

void HeadsetController::publish(HeadsetSnapshot candidate) {
    // Only the percent moves the time stamp; absent counts as a value of its own.
    candidate.batteryLevelChangedAt = candidate.batteryPercent == snapshot_.batteryPercent
                                          ? snapshot_.batteryLevelChangedAt
                                          : std::optional<TimePoint>(now());
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

}  // namespace avrane
