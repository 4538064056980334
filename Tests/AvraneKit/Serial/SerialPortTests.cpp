#include "AvraneKit/Serial/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>

#include "LineSpeed.h"

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
    // What the port wrote: one write of the port, drained, arrives in one piece.
    Bytes readMaster() {
        Bytes bytes(256);
        bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(master, bytes.data(), 256))));
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

TEST(SerialPortTests, FailuresCarryTheirTexts) {
    SerialPort port("/dev/avrane-no-such-device", false);
    const auto failure = failureOf([&] { port.open(); });
    EXPECT_EQ(failure.description(),
              "cannot open /dev/avrane-no-such-device: No such file or directory");
    EXPECT_FALSE(port.isOpen());
    port.close();  // closing a closed port, twice, is harmless
    port.close();
    port.flushInput();
    EXPECT_EQ(failureOf([&] { port.write(Bytes{1}); }).description(), "port is closed");
    EXPECT_EQ(failureOf([&] { port.read(0.01); }).kind(), Kind::closed);
}

// A pty refuses the modem-line request, so a port that wants the dongle's line settings fails
// at the last configuration step: it must come back closed, with nothing left behind. The
// step before it has set the dongle's speed, which the pty keeps: read back, it is 460800
// baud both ways, not the nearest speed of the termios table.
TEST(SerialPortTests, FailedConfigurationLeavesThePortClosedAndReopenable) {
    Pty pty;
    const int watcher = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watcher, 0);
    const auto descriptorsBefore = openDescriptorCount();
    SerialPort port(pty.slave, true);
    for (int round = 0; round < 2; ++round) {
        const auto failure = failureOf([&] { port.open(); });
        EXPECT_EQ(failure.description(),
                  "cannot configure port (asserting RTS/DTR): Inappropriate ioctl for device");
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
    }
    unsigned input = 0, output = 0;
    ASSERT_EQ(avrane_test_line_speed(watcher, &input, &output), 0);
    EXPECT_EQ(input, SerialPort::baudRate);
    EXPECT_EQ(output, SerialPort::baudRate);
    ::close(watcher);
    const auto other = errnoOfUnprivilegedOpen(pty.slave);
    if (other) {
        EXPECT_EQ(*other, 0) << "exclusive use outlived the failed open";
    }
}

// Root passes the terminal's exclusive mode; the lock stops a second program of ours all the
// same, and the refused open leaves the holder's exclusive mode in place until it closes.
TEST(SerialPortTests, SecondPortOnTheDeviceIsRefusedWhoeverOpensIt) {
    Pty pty;
    SerialPort holder(pty.slave, false);
    holder.open();
    SerialPort second(pty.slave, false);
    const auto failure = failureOf([&] { second.open(); });
    EXPECT_TRUE(failure.isInUse());
    EXPECT_FALSE(second.isOpen());

    if (const auto other = errnoOfUnprivilegedOpen(pty.slave)) {
        EXPECT_EQ(*other, EBUSY);
    }
    holder.write(Bytes{0x42});
    EXPECT_EQ(pty.readMaster(), Bytes{0x42});

    holder.close();
    if (const auto other = errnoOfUnprivilegedOpen(pty.slave)) {
        EXPECT_EQ(*other, 0);
    }
    second.open();
    EXPECT_TRUE(second.isOpen());
}

TEST(SerialPortTests, AnythingButATerminalIsNotASerialDevice) {
    const auto file = std::filesystem::temp_directory_path() / ("avrane-port-" + std::to_string(::getpid()));
    { std::ofstream(file) << "x"; }
    for (const std::string& path : {std::string("/dev/null"), file.string()}) {
        SerialPort port(path, false);
        const auto failure = failureOf([&] { port.open(); });
        EXPECT_TRUE(failure.isNotSerialDevice()) << path;
        EXPECT_FALSE(port.isOpen());
    }
    std::filesystem::remove(file);
}

TEST(SerialPortTests, WritesAndReadsRawBytes) {
    Pty pty;
    // Opened first: once the port holds the line, only root could open it.
    const int watcher = ::open(pty.slave.c_str(), O_RDONLY | O_NOCTTY);
    SerialPort port(pty.slave, false);
    port.open();
    port.open();  // already open: neither reopens nor fails
    ASSERT_TRUE(port.isOpen());

    // Bytes a cooked terminal would translate or swallow: CR, NL, ^C, ^S, ^Q, DEL.
    const Bytes special{0x0D, 0x0A, 0x03, 0x13, 0x11, 0x7F, 0x00, 0xFF};
    port.write(special);
    EXPECT_EQ(pty.readMaster(), special);

    ASSERT_EQ(::write(pty.master, special.data(), special.size()), ssize_t(special.size()));
    Bytes received;
    while (received.size() < special.size()) {
        const Bytes chunk = port.read(5.0);
        ASSERT_FALSE(chunk.empty());
        received.insert(received.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(received, special);
    port.write({});  // only drains

    // Input the port has not read yet is discarded by a flush. The other descriptor of the
    // terminal tells when the line holds it.
    ASSERT_EQ(::write(pty.master, special.data(), 3), 3);
    pollfd readable{watcher, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    ::close(watcher);
    port.flushInput();
    EXPECT_TRUE(port.read(0.05).empty());
    port.close();
    port.open();  // a closed port opens again
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialPortTests, ReadWaitsForItsTimeoutWhenNothingArrives) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    for (const double timeout : {0.05, 0.12}) {  // fractions of a second are kept
        const auto start = Clock::now();
        EXPECT_TRUE(port.read(timeout).empty());
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_GE(elapsed, timeout);
        EXPECT_LT(elapsed, timeout + 2.0);
    }
    EXPECT_TRUE(port.read(0).empty());
    EXPECT_TRUE(port.read(-1.5).empty());
}

// A wake-up descriptor cuts a long wait short, is left for its owner to clear, and does
// not hide input that is waiting on the line.
TEST(SerialPortTests, WakeDescriptorEndsTheWaitWithoutHidingInput) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(wake, 0);
    const std::uint64_t one = 1;
    ASSERT_EQ(::write(wake, &one, sizeof one), static_cast<ssize_t>(sizeof one));

    EXPECT_TRUE(port.read(3600, wake).empty());  // would hang the suite if the wake were ignored
    EXPECT_TRUE(port.read(3600, wake).empty());  // still set: the port never reads it

    ASSERT_EQ(::write(pty.master, "\x42", 1), 1);
    EXPECT_EQ(port.read(5.0, wake), Bytes{0x42});
    ::close(wake);
}

TEST(SerialPortTests, HangUpOfTheFarSideIsAReadFailure) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    pty.hangUp();
    const auto failure = failureOf([&] { port.read(5.0); });
    EXPECT_EQ(failure.kind(), Kind::read);
    EXPECT_TRUE(failure.isDeviceGone());
    EXPECT_TRUE(failureOf([&] { port.write(Bytes{1}); }).isDeviceGone());
}

// A device that stops taking bytes (here, a far side that never reads) fails the write once
// its time is up, instead of holding the caller for good.
TEST(SerialPortTests, AWriteTheDeviceDoesNotTakeFailsInItsTime) {
    Pty pty;
    SerialPort port(pty.slave, false);
    port.open();
    auto writing = std::async(std::launch::async, [&] {
        return failureOf([&] { port.write(Bytes(1 << 20, 0x42), 0.2); });
    });
    if (writing.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the write was still waiting after 10 s";
        pty.hangUp();  // lets it return
    }
    const SerialPort::Failure failure = writing.get();
    EXPECT_TRUE(failure.isStalled());
    EXPECT_EQ(failure.description(), "write failed: " + pty.slave + " stopped taking bytes");
}

TEST(SerialPortTests, CloseRestoresTheAttributesTheDeviceHad) {
    Pty pty;
    const int watcher = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watcher, 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(watcher, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);  // a fresh pty is cooked

    SerialPort port(pty.slave, false);
    port.open();  // raw mode, as WritesAndReadsRawBytes shows
    port.close();
    termios after{};
    ::tcgetattr(watcher, &after);
    EXPECT_TRUE(after.c_iflag == before.c_iflag && after.c_oflag == before.c_oflag &&
                after.c_cflag == before.c_cflag && after.c_lflag == before.c_lflag);
    ::close(watcher);
}

}  // namespace
}  // namespace avrane
