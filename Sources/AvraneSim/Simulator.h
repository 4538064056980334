#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AvraneKit/Protocol/FrameReassembler.h"
#include "AvraneKit/Protocol/Packet.h"
#include "AvraneSim/Faults.h"
#include "AvraneSim/HeadsetModel.h"

namespace avrane::sim {

// A request frame as the simulated dongle received it.
struct ReceivedRequest {
    Packet packet;
    std::chrono::steady_clock::time_point arrival;
    // A `set` whose value the headset stored. Faults can refuse one (a headset that is off, a
    // silent item), and so can a value that does not decode.
    bool accepted = false;
};

// A dongle and headset on a pseudo-terminal: open `slavePath()` (or the stable link) as the
// serial device. It answers `get` and `set` from a HeadsetModel with the documented payload
// layouts, announces the headset's own changes with notifications, records every request
// and can misbehave on demand (Faults).
//
// All public operations are thread-safe. One thread owns the pty master and does all its
// reading and writing; hanging up and re-plugging run on that thread too.
class Simulator {
public:
    using Clock = std::chrono::steady_clock;
    using RequestObserver = std::function<void(const ReceivedRequest&)>;

    struct Options {
        // When set, kept as a symbolic link to the current slave, across re-plugs.
        std::filesystem::path linkPath;
        // After an accepted `set` the headset announces the new value, as the real one does.
        bool echoesSets = true;
        HeadsetModel model;
    };

    Simulator();
    explicit Simulator(Options options);
    ~Simulator();

    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pty and starts answering. Throws std::system_error when no pty can be had.
    void start();
    // Stops the thread, closes the pty and removes the link. Also done on destruction.
    void stop();

    // The current slave device ("/dev/pts/N"); empty before start.
    std::string slavePath() const;
    const std::filesystem::path& linkPath() const { return options_.linkPath; }
    bool isPluggedIn() const;

    HeadsetModel model() const;
    // Replaces the model without telling anyone (nothing is sent).
    void setModel(HeadsetModel model);
    // The headset changes by itself (a button, the battery): `edit` runs on the model under
    // the simulator's lock (it must not call the simulator), then `item`'s new value is
    // announced.
    void change(EventID item, const std::function<void(HeadsetModel&)>& edit);
    // Announces `item`'s current value.
    void announce(EventID item);
    // Sends any frame, with the line faults (noise, splitting) applied.
    void send(const Packet& packet);
    // Sends bytes exactly as given.
    void sendRaw(Bytes bytes);

    Faults faults() const;
    void setFaults(Faults faults);
    void updateFaults(const std::function<void(Faults&)>& edit);

    // Closes the master, as pulling the dongle out would: the client's reads report a
    // hang-up, the slave path and the link disappear. Nothing is answered until replug().
    void hangUp();
    // A fresh pty (hanging up the old one first if needed); the link follows it.
    void replug();

    // Requests received since start or the last clearRequests(), in arrival order.
    std::vector<ReceivedRequest> requests() const;
    std::size_t requestCount() const;
    void clearRequests();
    // Waits until at least `count` requests are recorded; false on time-out.
    bool waitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Waits for a recorded request that `match` accepts (earlier ones included).
    std::optional<ReceivedRequest> waitForRequest(
        const std::function<bool(const Packet&)>& match,
        std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Called on the simulator's thread for each request, after a `set` is stored and before
    // the request is answered; it may call the simulator (to send a notification ahead of the
    // reply, say).
    void setRequestObserver(RequestObserver observer);
    // Waits until everything queued for sending has been written to the line.
    bool waitUntilSent(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    struct Outgoing {
        Clock::time_point due;
        Bytes bytes;
        std::size_t written = 0;
    };

    void run(std::stop_token stop);
    void runOnThread(const std::function<void()>& task);
    void wake() const;
    void plug();
    void unplug();
    void updateLink();
    void readLine(Clock::time_point arrival);
    void writeDue();
    void handleRequest(const Packet& request, Clock::time_point arrival);
    // Queues encoded frames, with the line faults applied, to leave `delay` seconds from
    // now (or after whatever is queued already).
    void queueLocked(const std::vector<Bytes>& frames, double delay);
    Packet notificationLocked(EventID item) const;

    Options options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;

    // Guarded by mutex_.
    HeadsetModel model_;
    Faults faults_;
    std::vector<ReceivedRequest> requests_;
    RequestObserver observer_;
    std::deque<Outgoing> output_;
    std::deque<std::function<void()>> tasks_;
    std::string slavePath_;
    bool pluggedIn_ = false;

    // Owned by the simulator's thread once it runs.
    int masterFd_ = -1;
    int slaveFd_ = -1;  // held so that the master never reports a hang-up between clients
    FrameReassembler reassembler_;
    bool outputBlocked_ = false;

    int wakeFd_ = -1;
    std::jthread thread_;
};

}  // namespace avrane::sim
