#include "AvraneSim/DeviceEventFeed.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

namespace avrane::sim {

DeviceEventFeed::DeviceEventFeed(bool delivers)
    : delivers_(delivers), fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

DeviceEventFeed::~DeviceEventFeed() { ::close(fd_); }

void DeviceEventFeed::announce(DeviceEvent event) {
    const std::lock_guard lock(mutex_);
    waiting_.events.push_back(std::move(event));
    ready();
}

void DeviceEventFeed::loseSome() {
    const std::lock_guard lock(mutex_);
    waiting_.lost = true;
    ready();
}

void DeviceEventFeed::fail(Failure failure) {
    const std::lock_guard lock(mutex_);
    waiting_.failure = std::move(failure);
    ready();
}

DeviceEventSource::Batch DeviceEventFeed::take() {
    const std::lock_guard lock(mutex_);
    std::uint64_t count;
    [[maybe_unused]] const auto n = ::read(fd_, &count, sizeof count);
    return std::exchange(waiting_, Batch{});
}

void DeviceEventFeed::ready() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(fd_, &one, sizeof one);
}

}  // namespace avrane::sim
