#pragma once

#include <deque>
#include <mutex>
#include <string>

#include "AvraneKit/Discovery/DeviceEvents.h"

namespace avrane::sim {

// Device announcements made by hand: plugging and unplugging the simulated dongle (or any
// device path) as the kernel would announce it. Thread-safe: tests announce from their own
// thread while the controller takes on its queue.
class DeviceEventFeed final : public DeviceEventSource {
public:
    // `delivers`: what deliversEvents() answers, that is whether the controller may rely on
    // the feed rather than look for the dongle every few seconds.
    explicit DeviceEventFeed(bool delivers = true);
    ~DeviceEventFeed() override;

    DeviceEventFeed(const DeviceEventFeed&) = delete;
    DeviceEventFeed& operator=(const DeviceEventFeed&) = delete;

    void add(std::string deviceNode) { announce({DeviceEvent::Action::add, std::move(deviceNode)}); }
    void remove(std::string deviceNode) { announce({DeviceEvent::Action::remove, std::move(deviceNode)}); }
    void announce(DeviceEvent event);
    // The next take() reports announcements lost, as after an overflow.
    void loseSome();
    // The next take() reports `failure`.
    void fail(Failure failure);

    int descriptor() const override { return fd_; }
    bool deliversEvents() const override { return delivers_; }
    Batch take() override;

private:
    void ready();

    const bool delivers_;
    int fd_;
    std::mutex mutex_;
    Batch waiting_;  // guarded by mutex_
};

}  // namespace avrane::sim
