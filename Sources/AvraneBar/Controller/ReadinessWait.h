#pragma once

#include <chrono>

namespace avrane {

// The descriptors the pump thread sleeps on, as one: the wake-up signal, the device
// announcements and, while a client is held, its serial line. An epoll set, so that the
// controller's queue can add and drop the line while the pump thread is waiting on it.
class ReadinessWait {
public:
    // Throws std::system_error when the set cannot be made.
    ReadinessWait();
    ~ReadinessWait();

    ReadinessWait(const ReadinessWait&) = delete;
    ReadinessWait& operator=(const ReadinessWait&) = delete;

    // Any thread. False when the descriptor cannot be watched (then nobody wakes the pump
    // for it). A closed descriptor leaves the set by itself.
    bool watch(int fd) noexcept;
    void unwatch(int fd) noexcept;

    // Until a watched descriptor is readable or hung up, or `timeout` has passed (a signal
    // ends it early too). Never shorter than asked when nothing happens, so that a job due
    // at the end of the wait is due when it returns.
    void wait(std::chrono::nanoseconds timeout) const noexcept;

private:
    int epoll_;
};

}  // namespace avrane
