#include "AvraneKit/Serial/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

#include "CSerialShim/cserial.h"

namespace avrane {
namespace {

using Kind = SerialPort::Failure::Kind;
using Clock = std::chrono::steady_clock;

// A pseudo-terminal whose master the test holds: what the port sees as the far side.
struct Pty {
    int master = -1;
    std::string slave;

    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) std::abort();
        slave = ::ptsname(master);
    }
    ~Pty() { hangUp(); }
    void hangUp() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    Bytes readMaster(std::size_t count) {
        Bytes bytes(count);
        std::size_t got = 0;
        while (got < count) {
            const auto n = ::read(master, bytes.data() + got, count - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }
};

template <class F>
SerialPort::Failure failureOf(F&& f) {
    try {
        f();
    } catch (const SerialPort::Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no SerialPort::Failure thrown";
    return SerialPort::Failure::closed();
}

std::size_t openDescriptorCount() {
    return static_cast<std::size_t>(std::distance(
        std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

// Opens `path` as a user without privileges (root ignores exclusive use) and returns 0 or
// the errno; nothing when privileges cannot be dropped here.
std::optional<int> errnoOfUnprivilegedOpen(const std::string& path) {
    if (::geteuid() != 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return errno;
        ::close(fd);
        return 0;
    }
    ::chmod(path.c_str(), 0666);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd < 0 ? errno : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 255) {
        return std::nullopt;
    }
    return WEXITSTATUS(status);
}

TEST(SerialPortTests, MissingDeviceFailsAtOpenWithItsPath) {
    SerialPort port("/dev/avrane-no-such-device", false);
    const auto failure = failureOf([&] { port.open(); });
    EXPECT_EQ(failure.kind(), Kind::open);
    EXPECT_EQ(failure.errorNumber(), ENOENT);
    EXPECT_EQ(failure.description(),
              "cannot open /dev/avrane-no-such-device: No such file or directory");
    EXPECT_STREQ(failure.what(), failure.description().c_str());
    EXPECT_FALSE(port.isOpen());
}

// A pty refuses the modem-line request, so a port that wants the dongle's line settings fails
// at the last configuration step: it must come back closed, with nothing left behind.
TEST(SerialPortTests, FailedConfigurationLeavesThePortClosedAndReopenable) {
    Pty pty;
    const auto descriptorsBefore = openDescriptorCount();
    SerialPort port(pty.slave, true);
    for (int round = 0; round < 2; ++round) {
        const auto failure = failureOf([&] { port.open(); });
        EXPECT_EQ(failure.kind(), Kind::configure);
        EXPECT_EQ(failure.step(), "asserting RTS/DTR");
        EXPECT_EQ(failure.description(),
                  "cannot configure port (asserting RTS/DTR): Inappropriate ioctl for device");
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
    }
    const auto other = errnoOfUnprivilegedOpen(pty.slave);
    if (other) {
        EXPECT_EQ(*other, 0) << "exclusive use outlived the failed open";
    }
}

TEST(SerialPortTests, ExclusiveWhileOpenAndReleasedOnClose) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    const auto whileOpen = errnoOfUnprivilegedOpen(pty.slave);
    if (!whileOpen) GTEST_SKIP() << "cannot drop to an unprivileged user (uid 65534) here";
    EXPECT_EQ(*whileOpen, EBUSY);

    port.write(Bytes{0x42});  // the first holder stays usable
    EXPECT_EQ(pty.readMaster(1), Bytes{0x42});

    port.close();
    EXPECT_EQ(errnoOfUnprivilegedOpen(pty.slave), 0);
}

TEST(SerialPortTests, WritesAndReadsRawBytes) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    port.open();  // already open: neither reopens nor fails
    ASSERT_TRUE(port.isOpen());

    // Bytes a cooked terminal would translate or swallow: CR, NL, ^C, ^S, ^Q, DEL.
    const Bytes special{0x0D, 0x0A, 0x03, 0x13, 0x11, 0x7F, 0x00, 0xFF};
    port.write(special);
    EXPECT_EQ(pty.readMaster(special.size()), special);

    ASSERT_EQ(::write(pty.master, special.data(), special.size()), ssize_t(special.size()));
    Bytes received;
    while (received.size() < special.size()) {
        const Bytes chunk = port.read(5.0);
        ASSERT_FALSE(chunk.empty());
        received.insert(received.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(received, special);
    port.write({});  // only drains
}

TEST(SerialPortTests, ReadWaitsForItsTimeoutWhenNothingArrives) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    for (const double timeout : {0.05, 0.12}) {
        const auto start = Clock::now();
        EXPECT_TRUE(port.read(timeout).empty());
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_GE(elapsed, timeout);
        EXPECT_LT(elapsed, timeout + 2.0);
    }
    EXPECT_TRUE(port.read(0).empty());
    EXPECT_TRUE(port.read(-1.5).empty());
}

TEST(SerialPortTests, HangUpOfTheFarSideIsAReadFailure) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    pty.hangUp();
    const auto failure = failureOf([&] { port.read(5.0); });
    EXPECT_EQ(failure.kind(), Kind::read);
    EXPECT_EQ(failure.description(), "read failed: Input/output error");
    EXPECT_EQ(failureOf([&] { port.write(Bytes{1}); }).kind(), Kind::write);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPortTests, ClosedPortRefusesTransfersAndClosingTwiceIsHarmless) {
    Pty pty;
    SerialPort port(pty.slave, false);
    EXPECT_EQ(failureOf([&] { port.read(0.01); }).description(), "port is closed");
    port.open();
    port.close();
    port.close();
    port.flushInput();
    EXPECT_EQ(failureOf([&] { port.write(Bytes{1}); }).kind(), Kind::closed);
    EXPECT_EQ(failureOf([&] { port.read(0.01); }).kind(), Kind::closed);
    port.open();  // a closed port opens again
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialPortTests, CloseRestoresTheAttributesTheDeviceHad) {
    Pty pty;
    const int watcher = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watcher, 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(watcher, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);  // a fresh pty is cooked

    SerialPort port(pty.slave, false);
    port.open();
    termios during{};
    ::tcgetattr(watcher, &during);
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_EQ(during.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_TRUE(during.c_cflag & CLOCAL);
    EXPECT_EQ(::cfgetospeed(&during), ::cfgetospeed(&before));  // speed left alone

    port.close();
    termios after{};
    ::tcgetattr(watcher, &after);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    ::close(watcher);
}

TEST(SerialPortTests, FlushDiscardsPendingInput) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    const std::uint8_t stale[] = {1, 2, 3};
    ASSERT_EQ(::write(pty.master, stale, 3), 3);
    // Another descriptor of the same terminal sees the input once the line holds it.
    const int watcher = ::open(pty.slave.c_str(), O_RDONLY | O_NOCTTY);
    pollfd readable{watcher, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    ::close(watcher);
    port.flushInput();
    EXPECT_TRUE(port.read(0.05).empty());
}

TEST(CustomSpeedTests, SetsAnArbitrarySpeedOrReportsWhyNot) {
    Pty pty;
    const int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(avrane_set_custom_speed(fd, 460800), 0);
    termios attributes{};
    ::tcgetattr(fd, &attributes);
    constexpr tcflag_t bother = 0010000;  // Linux: speed taken from the arbitrary-speed fields
    EXPECT_EQ(attributes.c_cflag & CBAUD, bother);

    errno = 0;
    EXPECT_EQ(avrane_set_custom_speed(fd, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    ::close(fd);
    EXPECT_EQ(avrane_set_custom_speed(fd, 460800), -1);
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace avrane
