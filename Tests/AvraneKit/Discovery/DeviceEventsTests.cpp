#include "AvraneKit/Discovery/DeviceEvents.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace avrane {
namespace detail {

void PrintTo(const Uevent& e, std::ostream* out) {
    *out << e.action << " " << e.devicePath << " (" << e.subsystem << ") node '" << e.deviceName << "'";
}

}  // namespace detail
namespace {

using namespace std::string_literals;
using detail::Uevent;

ByteView bytesOf(const std::string& text) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Messages as the kernel sends them (a header, then NUL-terminated KEY=value fields) are
// read; anything that is not one of them is nothing.
TEST(UeventParserTests, ReadsTheKernelsMessagesAndNothingElse) {
    const std::string acm = "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty/ttyACM0";
    const struct {
        const char* name;
        std::string message;
        std::optional<Uevent> expected;
    } rows[] = {
        {"a dongle plugged in",
         "add@" + acm + "\0ACTION=add\0DEVPATH="s + acm + "\0SUBSYSTEM=tty\0MAJOR=166\0MINOR=0\0DEVNAME=ttyACM0\0SEQNUM=4242\0"s,
         Uevent{"add", acm, "tty", "ttyACM0"}},
        {"the last field unterminated, a node in a folder",
         "remove@/d/x\0ACTION=remove\0DEVPATH=/d/x\0SUBSYSTEM=usb\0DEVNAME=bus/usb/001/002"s,
         Uevent{"remove", "/d/x", "usb", "bus/usb/001/002"}},
        {"no node", "bind@/d/x\0ACTION=bind\0DEVPATH=/d/x\0SUBSYSTEM=usb\0"s, Uevent{"bind", "/d/x", "usb", ""}},
        {"udev's own message", "libudev\0\xFE\xED\xCA\xFE\0ACTION=add\0DEVPATH=/d/x\0SUBSYSTEM=tty\0"s, std::nullopt},
        {"header and DEVPATH disagree", "add@/d/x\0ACTION=add\0DEVPATH=/d/y\0SUBSYSTEM=tty\0"s, std::nullopt},
        {"header and ACTION disagree", "add@/d/x\0ACTION=remove\0DEVPATH=/d/x\0SUBSYSTEM=tty\0"s, std::nullopt},
        {"no SUBSYSTEM", "add@/d/x\0ACTION=add\0DEVPATH=/d/x\0"s, std::nullopt},
        {"a field without '='", "add@/d/x\0ACTION=add\0DEVPATH=/d/x\0SUBSYSTEM=tty\0oops\0"s, std::nullopt},
        {"a key twice", "add@/d/x\0ACTION=add\0DEVPATH=/d/x\0SUBSYSTEM=tty\0SUBSYSTEM=usb\0"s, std::nullopt},
        {"a node out of /dev", "add@/d/x\0ACTION=add\0DEVPATH=/d/x\0SUBSYSTEM=tty\0DEVNAME=../etc/shadow\0"s, std::nullopt},
        {"an absolute node", "add@/d/x\0ACTION=add\0DEVPATH=/d/x\0SUBSYSTEM=tty\0DEVNAME=/etc/shadow\0"s, std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(detail::parseUevent(bytesOf(row.message)), row.expected);
    }
}

// The kernel's own announcements, end to end. Writing a device's uevent file makes the
// kernel announce it again: a "change" is dropped by the socket's filter before it can wake
// anyone, an "add" comes through with its node under the given root. Needs root.
TEST(KernelDeviceEventsTests, PassesOnAddsOfTtysAndWakesForNothingElse) {
    KernelDeviceEvents source("/devroot");
    if (source.failure()) GTEST_SKIP() << source.failure()->description();
    const std::string trigger = "/sys/class/tty/ptmx/uevent";
    const auto announce = [&](const char* action) {
        const int fd = ::open(trigger.c_str(), O_WRONLY | O_CLOEXEC);
        const bool done = fd >= 0 && ::write(fd, action, std::char_traits<char>::length(action)) > 0;
        if (fd >= 0) ::close(fd);
        return done;
    };
    if (::geteuid() != 0 || !announce("change")) GTEST_SKIP() << "cannot ask the kernel to announce a device here";
    pollfd readable{source.descriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&readable, 1, 200), 0) << "a change woke the reader";

    ASSERT_TRUE(announce("add"));
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    const auto batch = source.take();
    EXPECT_FALSE(batch.failure);
    const DeviceEvent ptmx{DeviceEvent::Action::add, "/devroot/ptmx"};
    EXPECT_NE(std::find(batch.events.begin(), batch.events.end(), ptmx), batch.events.end());
    EXPECT_TRUE(source.take().events.empty());
}

}  // namespace
}  // namespace avrane
