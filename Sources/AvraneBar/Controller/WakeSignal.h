#pragma once

namespace avrane {

// A descriptor that becomes readable when signalled and stays so until cleared: lets work
// queued for the controller cut the pump's read wait short (the port's wait watches it).
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();

    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // Any thread. Signals add up; one clear takes them all back.
    void signal() const noexcept;
    void clear() const noexcept;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace avrane
