#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AvraneBar/Bluetooth/MacBluetoothLink.h"
#include "AvraneBar/Controller/ControllerClock.h"
#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Controller/ReadinessWait.h"
#include "AvraneBar/Controller/SerialQueue.h"
#include "AvraneBar/Controller/Trace.h"
#include "AvraneBar/Controller/WakeSignal.h"
#include "AvraneKit/Client/HeadsetClient.h"
#include "AvraneKit/Discovery/DeviceEvents.h"
#include "AvraneKit/Discovery/PathWatch.h"

namespace avrane {

// The application's one owner of the link to the headset. It holds at most one client,
// reconnects with back-off when the link is lost (at once when a dongle is plugged in),
// reads the whole state every minute and the battery every half minute, checks that the
// dongle is still attached, looks at the computer's own Bluetooth pairing, runs the panel's
// writes and folds the headset's notifications in, and publishes every new HeadsetSnapshot
// to the main thread.
//
// Everything it does with the headset runs on its serial queue, "avrane.controller"; the
// pump thread, "avrane.notifications", drives it one pump step at a time. Periodic work is
// due times on the monotonic clock: no timers. Between steps the pump thread sleeps until
// the earliest of bytes on the line, queued work, a device announcement and the next due
// time, so an idle controller wakes only when something is due. Needs no display: the
// application hands in how to run something on its main thread.
class HeadsetController {
public:
    using ChangeHandler = std::function<void(const HeadsetSnapshot&)>;
    using WriteOperation = std::function<void(HeadsetClient&)>;
    using Duration = SteadyClock::duration;

    // Why a write or an operation did not go through.
    struct Failure {
        enum class Kind : std::uint8_t {
            notConnected,    // no dongle held and no connect attempt due: nothing was tried
            deadlinePassed,  // its caller's deadline passed before it could go out: nothing was sent
            noReply,         // the headset left a request unanswered
            // A write went out, then the line failed before its answer came (the dongle was
            // pulled out, say): the headset may have taken it. It was not sent again.
            unconfirmed,
            failed,          // anything else: the port failed, a reply did not decode, ...
        };
        Kind kind;
        std::string description;  // English, for the log and for other programs

        bool operator==(const Failure&) const = default;
    };
    // How a write or an operation ended, on the main thread: nothing when it went through.
    using Completion = std::function<void(const std::optional<Failure>& failure)>;

    struct Options {
        // Runs a callable on the main thread later, in the order given. Required.
        std::function<void(std::function<void()>)> runOnMainThread;
        // Empty members take the real thing: the monotonic clock for due times, the system
        // clock for what a person reads, HeadsetClient::connect(), discovery of dongles in
        // PC mode, MacBluetoothLink::current(), the kernel's device announcements.
        SteadyNowFunction clock;
        NowFunction wallClock;
        std::function<std::unique_ptr<HeadsetClient>()> connect;
        std::function<std::vector<DiscoveredDongle>()> findDongles;
        std::function<MacBluetoothLink()> bluetoothLink;
        std::shared_ptr<DeviceEventSource> deviceEvents;
        // A device named from outside (AVRANE_PORT when empty): while no client is held, the
        // file coming to be at that path is watched for, as the kernel does not announce
        // every device (a pseudo-terminal, a link to one).
        std::string forcedPort;
        Trace trace;
        // Given to every newly connected client; tests shorten the wait.
        std::chrono::milliseconds replyTimeout{1200};
        int retryCount = 3;
    };

    // The job the pump would wake for next, when nothing else wakes it first.
    enum class Due : std::uint8_t { bluetoothCheck, connectAttempt, dongleCheck, fullSync, batteryPoll };
    struct PumpWait {
        Due due;
        Duration wait;  // from the clock's now; zero when already due

        bool operator==(const PumpWait&) const = default;
    };

    static constexpr std::string_view queueLabel = "avrane.controller";
    static constexpr std::string_view pumpThreadName = "avrane.notifications";

    static constexpr std::chrono::seconds bluetoothCheckPanelOpen{3};
    static constexpr std::chrono::seconds bluetoothCheckPanelClosed{30};
    // Where no device announcements arrive (or a client is open on a path forced from
    // outside, which is never checked), looking is the only way to see a dongle go.
    static constexpr std::chrono::seconds dongleCheckInterval{2};
    // With announcements, looking is only the fallback for one that went missing.
    static constexpr std::chrono::seconds dongleCheckIntervalWithEvents{60};
    static constexpr std::chrono::seconds fullSyncInterval{60};
    static constexpr std::chrono::seconds batteryPollInterval{30};
    static constexpr std::chrono::seconds initialReconnectDelay{2};
    static constexpr std::chrono::seconds longestReconnectDelay{30};
    // Notifications of a write's events are taken for its echo for this long. When the window
    // ends, the last one held back of each event is compared with the snapshot: one that would
    // change it was not an echo (or an echo of an older write), and a full sync reads the truth.
    static constexpr std::chrono::seconds quietWindow{1};
    // After a dongle appears its device node may be refused for a moment (udev has yet to
    // give it its group), so failed connects are tried again after these pauses, about a
    // second in all, before the ordinary back-off takes over.
    static constexpr std::array<std::chrono::milliseconds, 3> plugInRetryDelays{
        std::chrono::milliseconds(200), std::chrono::milliseconds(300), std::chrono::milliseconds(500)};
    // How a write refused while no connect attempt is due shows in the trace.
    static constexpr std::string_view backingOff = "backingOff";
    // The clock's now, for callers that set deadlines.
    DueTime now() const { return options_.clock(); }

    // Does no input or output on the headset's line.
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
    // outcome shows in later snapshots (and the trace when it failed); `done`, when given,
    // hears of a failure at once, and of a success once the snapshot of the sync has been
    // handed to the main thread.
    void apply(std::vector<EventID> events, WriteOperation write, Completion done = {});

    // Requests made on behalf of other programs (the D-Bus service). They wait behind the
    // application's own work (the panel's writes, the pump), and each carries its caller's
    // deadline: one that cannot start before it is dropped unsent, and none sends a frame
    // after it, so that nothing its caller was told had failed happens later. `done` then
    // hears Failure::deadlinePassed.
    //
    // A write as `apply` makes it. Its `done` hears of a success once the sync after it has
    // published, or at once when the deadline passed during the write. `written`, when given,
    // hears before the sync that the write itself went through: a sync with a slow headset can
    // outlast the caller's patience, and a caller must not be left to take a write that
    // happened for one that failed.
    void applyForCaller(std::vector<EventID> events, WriteOperation write, DueTime deadline, Completion done,
                        std::function<void()> written = {});
    // `operation` with the client as it is (connecting when due), and nothing else: no echo
    // window and no sync. For raw reads and writes.
    void performForCaller(WriteOperation operation, DueTime deadline, Completion done);
    // A full sync. At most one waits at a time: asking again while one waits asks for that
    // one, so a flood of asks costs one read of the headset.
    void refreshForCaller();

    // The last published snapshot. Any thread; never waits for work on the queue.
    HeadsetSnapshot snapshot() const;
    // Called on the main thread with each published snapshot, in order.
    void setOnChange(ChangeHandler handler);
    // Set from the main thread when the panel opens or closes: the Bluetooth check then
    // runs every 3 s instead of every 30 s, from the next check on.
    void setPanelVisible(bool visible) { isPanelVisible_.store(visible, std::memory_order_relaxed); }

    // For tests and benchmarks that drive the controller without its pump thread: one pump
    // step on the queue, at the clock's time, returning when it is done. The pump thread
    // waits for the line before its steps; here a held client's line is given up to
    // `lineWait` of real time instead (a stepped clock does not move meanwhile).
    void runPumpStep(std::chrono::milliseconds lineWait = std::chrono::milliseconds(250));
    // What the pump thread would sleep for after the last step, at the clock's time.
    PumpWait pumpWait();
    // Waits for everything queued so far.
    void waitUntilIdle();

private:
    // A client, or why there is none: when `failure` is empty, no connect attempt was due
    // (an ordinary answer, not a failure); otherwise the attempt failed with it, and what
    // needed publishing has been published.
    struct Connection {
        HeadsetClient* client = nullptr;
        std::exception_ptr failure;
    };

    // Queue only, from here on.
    void pumpOnce(std::chrono::milliseconds lineWait);
    PumpWait nextWait(DueTime now) const;
    void takeDeviceEvents(DueTime now);
    Connection connectedClient();
    bool checksPresenceOften() const;
    void watchForcedPort(bool watching);
    void fullSync();
    void pollBattery(HeadsetClient& client);
    void dropConnection();
    void write(const std::vector<EventID>& events, const WriteOperation& operation, const Completion& done,
               std::optional<DueTime> deadline, const std::function<void()>& written = {});
    // Runs `operation` with the client; with a deadline, no frame goes out after it.
    std::optional<Failure> withClient(const std::vector<EventID>& events, const WriteOperation& operation,
                                      std::optional<DueTime> deadline);
    // What a request that found no client is told: why there is none, as last published.
    Failure notConnected() const;
    void complete(const Completion& done, std::optional<Failure> failure);
    void applyNotification(const Packet& packet);
    // Syncs now when a notification held back in a window that has ended would change the snapshot.
    void settleQuietWindows(DueTime now);
    void publishPatched(const Packet& packet);
    void publish(HeadsetSnapshot candidate);
    HeadsetSnapshot failureSnapshot(HeadsetSnapshot::Availability availability) const;
    TimePoint wallNow() const { return options_.wallClock(); }

    void pumpLoop(std::stop_token stop);

    Options options_;

    std::unique_ptr<HeadsetClient> client_;
    std::optional<ModelInfo> cachedModel_;
    std::optional<FirmwareVersion> cachedFirmware_;
    DueTime nextResync_ = distantPast;
    DueTime nextBatteryPoll_ = distantPast;
    DueTime nextBluetoothCheck_ = distantPast;
    DueTime nextConnectAttempt_ = distantPast;
    DueTime nextDongleCheck_ = distantPast;
    long writeGeneration_ = 0;
    std::map<EventID, DueTime> quietUntil_;
    std::map<EventID, Packet> heldEchoes_;  // the last notification held back in each window
    std::atomic<bool> isPanelVisible_{false};
    HeadsetSnapshot snapshot_;
    Duration reconnectDelay_ = initialReconnectDelay;
    std::size_t plugInRetriesLeft_ = 0;
    // Until the first full sync of a connection has published, the snapshot still shows the
    // time before it ("Looking for dongle…"); notifications wait here, the latest of each
    // event, and are applied on top of that sync. While any full sync reads, they are kept
    // here too (and shown at once): they are newer than what the sync read before them.
    bool synced_ = false;
    bool syncReading_ = false;
    std::vector<Packet> heldNotifications_;
    // Whether the line and the announcements wake the pump; where one cannot, it wakes on
    // the old rhythm instead.
    bool lineWatched_ = false;
    bool eventsWatched_ = false;
    // A full sync asked for by another program is queued and has not started.
    std::atomic<bool> callerRefreshQueued_{false};

    // A copy of snapshot_ for readers off the queue.
    mutable std::mutex publishedLock_;
    HeadsetSnapshot published_;
    // Main thread only. Shared with the deliveries in flight, which may outlive us.
    std::shared_ptr<ChangeHandler> onChange_ = std::make_shared<ChangeHandler>();
    // The forced port's folder, while no client is held.
    std::unique_ptr<PathWatch> forcedPortWatch_;

    WakeSignal wake_;
    ReadinessWait readiness_;
    // Destroyed before the state above, which its jobs use.
    SerialQueue queue_{std::string(queueLabel)};
    std::jthread pump_;
};

std::string_view caseName(HeadsetController::Due due);
void PrintTo(const HeadsetController::PumpWait& wait, std::ostream* out);

}  // namespace avrane
