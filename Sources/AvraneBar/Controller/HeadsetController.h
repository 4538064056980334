#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"
#include "AvraneBar/Controller/ControllerClock.h"
#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Controller/SerialQueue.h"
#include "AvraneBar/Controller/Trace.h"
#include "AvraneBar/Controller/WakeSignal.h"
#include "AvraneKit/Client/HeadsetClient.h"

namespace avrane {

// The application's one owner of the link to the headset. It holds at most one client,
// reconnects with back-off when the link is lost, reads the whole state every minute and
// the battery every half minute, checks that the dongle is still attached, looks at the
// computer's own Bluetooth pairing, runs the panel's writes and folds the headset's
// notifications in, and publishes every new HeadsetSnapshot to the main thread.
//
// Everything it does with the headset runs on its serial queue, "avrane.controller"; the
// pump thread, "avrane.notifications", drives it one pump step at a time. Periodic work is
// due times compared with the injected clock: no timers. Needs no display: the application
// hands in how to run something on its main thread.
class HeadsetController {
public:
    class Failure;
    using ChangeHandler = std::function<void(const HeadsetSnapshot&)>;
    using WriteOperation = std::function<void(HeadsetClient&)>;

    struct Options {
        // Runs a callable on the main thread later, in the order given. Required.
        std::function<void(std::function<void()>)> runOnMainThread;
        // Empty members take the real thing: the system clock, HeadsetClient::connect(),
        // discovery of dongles in PC mode, MacBluetoothLink::current().
        NowFunction now;
        std::function<std::unique_ptr<HeadsetClient>()> connect;
        std::function<std::vector<DiscoveredDongle>()> findDongles;
        std::function<MacBluetoothLink()> bluetoothLink;
        Trace trace;
        // Given to every newly connected client; tests shorten the wait.
        double replyTimeout = 1.2;
        int retryCount = 3;
    };

    static constexpr std::string_view queueLabel = "avrane.controller";
    static constexpr std::string_view pumpThreadName = "avrane.notifications";

    // Seconds.
    static constexpr double pumpWait = 0.25;  // also the pause between steps without a client
    static constexpr double bluetoothCheckPanelOpen = 3;
    static constexpr double bluetoothCheckPanelClosed = 30;
    static constexpr double dongleCheckInterval = 2;
    static constexpr double fullSyncInterval = 60;
    static constexpr double batteryPollInterval = 30;
    static constexpr double initialReconnectDelay = 2.0;
    static constexpr double longestReconnectDelay = 30.0;
    static constexpr double quietWindow = 1.0;  // notifications of a write's events are its echo

    // Does no input or output.
    explicit HeadsetController(Options options);
    // The application never ends it; tests do. Stops the pump thread, lets the job in
    // progress finish and drops queued ones.
    ~HeadsetController();

    HeadsetController(const HeadsetController&) = delete;
    HeadsetController& operator=(const HeadsetController&) = delete;

    // Queues a full sync and starts the pump thread. Once, on the main thread, after
    // setOnChange.
    void start();
    // Queues a full sync; returns at once.
    void refresh();
    // Queues a write: the notifications of `events` are taken for its echo for one second,
    // `write` runs with the client, then a full sync publishes what the headset holds. The
    // outcome shows only in later snapshots (and the trace when it failed).
    void apply(std::vector<EventID> events, WriteOperation write);

    // The last published snapshot. Any thread; never waits for work on the queue.
    HeadsetSnapshot snapshot() const;
    // Called on the main thread with each published snapshot, in order.
    void setOnChange(ChangeHandler handler);
    // Set from the main thread when the panel opens or closes: the Bluetooth check then
    // runs every 3 s instead of every 30 s.
    void setPanelVisible(bool visible) { isPanelVisible_.store(visible, std::memory_order_relaxed); }

    // For tests and benchmarks that drive the controller without its pump thread: one pump
    // step on the queue, returning when it is done; and a wait for everything queued so far.
    void runPumpStep();
    void waitUntilIdle();

private:
    // Queue only, from here on.
    void pumpOnce();
    HeadsetClient& connectedClient();
    void fullSync();
    void pollBattery(HeadsetClient& client);
    void dropConnection();
    bool hasOpenPort() const { return client_ != nullptr; }
    void write(const std::vector<EventID>& events, const WriteOperation& operation);
    void applyNotification(const Packet& packet);
    void publish(HeadsetSnapshot candidate);
    HeadsetSnapshot failureSnapshot(HeadsetSnapshot::Availability availability) const;
    TimePoint now() const { return options_.now(); }

    void pumpLoop(std::stop_token stop);

    Options options_;

    std::unique_ptr<HeadsetClient> client_;
    std::optional<ModelInfo> cachedModel_;
    std::optional<FirmwareVersion> cachedFirmware_;
    TimePoint nextResync_ = distantPast;
    TimePoint nextBatteryPoll_ = distantPast;
    TimePoint nextBluetoothCheck_ = distantPast;
    TimePoint nextConnectAttempt_ = distantPast;
    TimePoint nextDongleCheck_ = distantPast;
    long writeGeneration_ = 0;
    std::map<EventID, TimePoint> quietUntil_;
    std::atomic<bool> isPanelVisible_{false};
    HeadsetSnapshot snapshot_;
    double reconnectDelay_ = initialReconnectDelay;

    // A copy of snapshot_ for readers off the queue.
    mutable std::mutex publishedLock_;
    HeadsetSnapshot published_;
    // Main thread only. Shared with the deliveries in flight, which may outlive us.
    std::shared_ptr<ChangeHandler> onChange_ = std::make_shared<ChangeHandler>();

    WakeSignal wake_;
    // Destroyed before the state above, which its jobs use.
    SerialQueue queue_{std::string(queueLabel)};
    std::jthread pump_;
};

// The controller's own refusal: a connect attempt was wanted but is not due yet. Never
// shown; its description is its case name.
class HeadsetController::Failure : public std::exception {
public:
    enum class Kind { backingOff };

    static Failure backingOff() { return Failure(Kind::backingOff); }

    Kind kind() const { return kind_; }
    std::string description() const { return "backingOff"; }
    const char* what() const noexcept override { return "backingOff"; }

private:
    explicit Failure(Kind kind) : kind_(kind) {}
    Kind kind_;
};

}  // namespace avrane
