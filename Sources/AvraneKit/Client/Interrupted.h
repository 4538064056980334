#pragma once

#include <poll.h>

#include <exception>
#include <string>

namespace avrane {

// The owner asked the client to stop (its interrupt descriptor became readable) while it was
// waiting on the headset; the request in progress is abandoned. Not a link failure: nothing
// is wrong with the dongle or the headset.
class Interrupted : public std::exception {
public:
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string description_ = "interrupted";
};

// Throws Interrupted when `interruptFd` is readable; nothing for -1. Never reads it.
inline void throwIfInterrupted(int interruptFd) {
    if (interruptFd < 0) return;
    pollfd p{.fd = interruptFd, .events = POLLIN, .revents = 0};
    if (::poll(&p, 1, 0) > 0) throw Interrupted();
}

}  // namespace avrane
