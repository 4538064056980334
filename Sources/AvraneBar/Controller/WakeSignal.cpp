#include "AvraneBar/Controller/WakeSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace avrane {

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

WakeSignal::~WakeSignal() { ::close(fd_); }

void WakeSignal::signal() const noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void WakeSignal::clear() const noexcept {
    std::uint64_t count;
    [[maybe_unused]] const auto n = ::read(fd_, &count, sizeof count);
}

}  // namespace avrane
