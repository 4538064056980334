#include "AvraneBar/Controller/ReadinessWait.h"

#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

namespace avrane {

ReadinessWait::ReadinessWait() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {
    if (epoll_ < 0) throw std::system_error(errno, std::generic_category(), "epoll_create1");
}

ReadinessWait::~ReadinessWait() { ::close(epoll_); }

bool ReadinessWait::watch(int fd) noexcept {
    if (fd < 0) return false;
    epoll_event interest{};
    interest.events = EPOLLIN;  // hang-ups and errors are reported whether asked or not
    interest.data.fd = fd;
    return ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &interest) == 0 || errno == EEXIST;
}

void ReadinessWait::unwatch(int fd) noexcept {
    if (fd >= 0) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

void ReadinessWait::wait(std::chrono::nanoseconds timeout) const noexcept {
    if (timeout < std::chrono::nanoseconds::zero()) timeout = std::chrono::nanoseconds::zero();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    timespec limit{};
    limit.tv_sec = static_cast<time_t>(seconds.count());
    limit.tv_nsec = static_cast<long>((timeout - seconds).count());
    // The set itself is readable while any member is; ppoll keeps the nanoseconds that
    // epoll_wait's milliseconds would round away.
    pollfd set{epoll_, POLLIN, 0};
    ::ppoll(&set, 1, &limit, nullptr);
}

}  // namespace avrane
