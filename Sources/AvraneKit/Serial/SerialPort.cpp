#include "AvraneKit/Serial/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "CSerialShim/cserial.h"

namespace avrane {
namespace {

// The longest single wait the port accepts; anything longer is clamped (a caller passing
// infinity still gets a finite, valid wait).
constexpr double longestWait = 86400.0;
// How long closing waits for output still queued.
constexpr double closeDrainWait = 1.0;

[[noreturn]] void throwConfigure(const char* step, int errorNumber) {
    throw SerialPort::Failure::configureFailed(step, errorNumber);
}

timespec monotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

timespec after(double seconds) {
    if (!(seconds > 0)) seconds = 0;
    if (seconds > longestWait) seconds = longestWait;
    timespec at = monotonicNow();
    const double whole = std::floor(seconds);
    at.tv_sec += static_cast<time_t>(whole);
    at.tv_nsec += static_cast<long>((seconds - whole) * 1e9);
    if (at.tv_nsec >= 1'000'000'000L) {
        at.tv_sec += 1;
        at.tv_nsec -= 1'000'000'000L;
    }
    return at;
}

// Time left until `deadline`, zero once it has passed.
timespec leftUntil(const timespec& deadline) {
    const timespec now = monotonicNow();
    timespec left{deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
    if (left.tv_nsec < 0) {
        left.tv_sec -= 1;
        left.tv_nsec += 1'000'000'000L;
    }
    if (left.tv_sec < 0) return {};
    return left;
}

bool passed(const timespec& deadline) {
    const timespec left = leftUntil(deadline);
    return left.tv_sec == 0 && left.tv_nsec == 0;
}

}  // namespace

SerialPort::SerialPort(std::string path, bool usesCustomBaudRate)
    : path_(std::move(path)), usesCustomBaudRate_(usesCustomBaudRate) {}

SerialPort::~SerialPort() { close(); }

void SerialPort::open() {
    if (fd_ >= 0) return;
    // O_CLOEXEC on top: a child process (the installer, a helper) must not inherit the line
    // and keep it busy after we let go.
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw Failure::openFailed(path_, errno);
    // Anything else opens just as well and would only fail at the first terminal request,
    // in words that do not tell the user what is wrong.
    if (!::isatty(fd)) {
        ::close(fd);
        throw Failure::openFailed(path_, ENOTTY);
    }
    // Root passes TIOCEXCL, and `sudo` is what a user not yet allowed to open the device
    // tries first; two programs on one line steal each other's replies. Released by close.
    if (::flock(fd, LOCK_EX | LOCK_NB) == -1) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        throw Failure::openFailed(path_, error);
    }
    fd_ = fd;
    try {
        configure();
    } catch (...) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

void SerialPort::configure() {
    if (::ioctl(fd_, TIOCEXCL) == -1) throwConfigure("exclusive access", errno);
    // The descriptor stays non-blocking: every wait on the line, reading or writing, is
    // bounded by a poll, so that a device that stops talking or taking bytes holds nobody.
    if (::tcgetattr(fd_, &savedAttributes_) == -1) throwConfigure("reading attributes", errno);

    termios raw = savedAttributes_;
    ::cfmakeraw(&raw);  // no processing, no echo, 8 bits, a read returns after one byte
    raw.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    raw.c_cflag |= CS8 | CREAD | CLOCAL;
    raw.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    // The speed fields stay as read: the standard speed is never changed here.
    if (::tcsetattr(fd_, TCSANOW, &raw) == -1) throwConfigure("writing attributes", errno);

    if (usesCustomBaudRate_) {
        // After the raw attributes, since applying attributes would reset a custom speed.
        if (::avrane_set_custom_speed(fd_, baudRate) == -1) {
            throwConfigure(("setting " + std::to_string(baudRate) + " baud").c_str(), errno);
        }
        int lines = TIOCM_DTR | TIOCM_RTS;
        if (::ioctl(fd_, TIOCMBIS, &lines) == -1) throwConfigure("asserting RTS/DTR", errno);
    }
    ::tcflush(fd_, TCIOFLUSH);
}

void SerialPort::close() noexcept {
    if (fd_ < 0) return;
    // Bounded like a write: a device that stopped taking bytes is let go all the same.
    waitDrained(after(closeDrainWait));
    ::tcsetattr(fd_, TCSANOW, &savedAttributes_);
    // Some terminals (ptys among them) keep the exclusive flag after the last close, which
    // would lock everyone else out of the device once we are gone.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

void SerialPort::write(ByteView bytes, double timeout) {
    if (fd_ < 0) throw Failure::closed();
    const timespec deadline = after(timeout);
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + offset, bytes.size() - offset);
        if (n >= 0) {
            offset += static_cast<std::size_t>(n);
        } else if (errno == EAGAIN) {
            if (!waitWritable(deadline)) throw Failure::writeFailed(path_, ETIMEDOUT);
        } else if (errno != EINTR) {
            throw Failure::writeFailed(path_, errno);
        }
    }
    if (!waitDrained(deadline)) throw Failure::writeFailed(path_, ETIMEDOUT);
}

bool SerialPort::waitWritable(const timespec& deadline) {
    while (!passed(deadline)) {
        const timespec left = leftUntil(deadline);
        pollfd p{.fd = fd_, .events = POLLOUT, .revents = 0};
        const int ready = ::ppoll(&p, 1, &left, nullptr);
        // Writable, or an error that the next write reports with its own errno.
        if (ready > 0 || (ready < 0 && errno != EINTR)) return true;
    }
    return false;
}

bool SerialPort::waitDrained(const timespec& deadline) {
    // The terminal has no event for "sent": its output queue is looked at, first after a few
    // microseconds (a frame takes well under a millisecond at the dongle's speed, and a
    // pseudo-terminal's reader takes it at once), then less and less often.
    timespec step{0, 20'000L};
    while (true) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) == -1 || queued <= 0) return true;  // or cannot tell
        if (passed(deadline)) return false;
        ::nanosleep(&step, nullptr);
        step.tv_nsec = std::min(step.tv_nsec * 2, 2'000'000L);
    }
}

bool SerialPort::waitReadable(double timeout, int wakeFd) {
    // NaN and negative waits poll once; the split into seconds and nanoseconds needs a
    // finite value.
    if (!(timeout > 0)) timeout = 0;
    if (timeout > longestWait) timeout = longestWait;
    const double whole = std::floor(timeout);
    timespec limit{};
    limit.tv_sec = static_cast<time_t>(whole);
    limit.tv_nsec = static_cast<long>((timeout - whole) * 1e9);

    pollfd fds[2] = {{.fd = fd_, .events = POLLIN, .revents = 0},
                     {.fd = wakeFd, .events = POLLIN, .revents = 0}};
    const nfds_t count = wakeFd >= 0 ? 2 : 1;
#if defined(__linux__)
    const int ready = ::ppoll(fds, count, &limit, nullptr);
#else
    const int ready = ::poll(fds, count, static_cast<int>(std::ceil(timeout * 1000.0)));
#endif
    if (ready < 0) {
        if (errno == EINTR) return false;
        throw Failure::readFailed(path_, errno);
    }
    // Input (or a hang-up) on the line wins over a wake-up that came at the same time.
    return (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

Bytes SerialPort::read(double timeout, int wakeFd) {
    if (fd_ < 0) throw Failure::closed();
    if (!waitReadable(timeout, wakeFd)) return {};

    std::uint8_t buffer[1024];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) return {};
        throw Failure::readFailed(path_, errno);
    }
    // The line said readable yet holds nothing: the far side has gone (USB unplugged, pty
    // master closed). Every later read would do the same at once, so report it instead of
    // letting the caller spin on empty reads.
    if (n == 0) throw Failure::readFailed(path_, EIO);
    return Bytes(buffer, buffer + n);
}

void SerialPort::flushInput() noexcept {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

SerialPort::Failure::Failure(Kind kind, std::string path, std::string step, int errorNumber)
    : kind_(kind), path_(std::move(path)), step_(std::move(step)), errorNumber_(errorNumber) {
    const std::string reason = errorNumber ? std::strerror(errorNumber) : "";
    switch (kind_) {
        case Kind::open:
            // strerror(ENOTTY) speaks of an inappropriate ioctl, which helps nobody.
            description_ = errorNumber == ENOTTY ? path_ + " is not a serial device"
                                                 : "cannot open " + path_ + ": " + reason;
            break;
        case Kind::configure:
            description_ = "cannot configure port (" + step_ + "): " + reason;
            break;
        case Kind::write:
            description_ = errorNumber == ETIMEDOUT ? "write failed: " + path_ + " stopped taking bytes"
                                                    : "write failed: " + reason;
            break;
        case Kind::read: description_ = "read failed: " + reason; break;
        case Kind::closed: description_ = "port is closed"; break;
    }
}

SerialPort::Failure SerialPort::Failure::openFailed(std::string path, int errorNumber) {
    return Failure(Kind::open, std::move(path), {}, errorNumber);
}

SerialPort::Failure SerialPort::Failure::configureFailed(std::string step, int errorNumber) {
    return Failure(Kind::configure, {}, std::move(step), errorNumber);
}

SerialPort::Failure SerialPort::Failure::writeFailed(std::string path, int errorNumber) {
    return Failure(Kind::write, std::move(path), {}, errorNumber);
}

SerialPort::Failure SerialPort::Failure::readFailed(std::string path, int errorNumber) {
    return Failure(Kind::read, std::move(path), {}, errorNumber);
}

SerialPort::Failure SerialPort::Failure::closed() { return Failure(Kind::closed, {}, {}, 0); }

}  // namespace avrane
