#include "AvraneKit/Discovery/DeviceEvents.h"

#include <linux/filter.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

namespace avrane {
namespace {

// The kernel never sends more than 2 KiB (UEVENT_BUFFER_SIZE); a longer datagram is cut
// and dropped.
constexpr std::size_t messageLimit = 8192;
// Taken per call, so that a flood of announcements cannot hold the caller; the rest stays
// readable for the next call.
constexpr int messagesPerTake = 64;
// The inode number the kernel gives the initial user namespace (PROC_USER_INIT_INO).
constexpr ino_t initialUserNamespaceInode = 0xEFFFFFFD;

// The kernel broadcasts device announcements only into network namespaces owned by the
// initial user namespace; in a container with a user namespace of its own the socket opens
// and stays silent.
bool inInitialUserNamespace() {
    struct stat info {};
    return ::stat("/proc/self/ns/user", &info) == 0 && info.st_ino == initialUserNamespaceInode;
}

// Keeps messages whose header starts "add@" or "remove@": the filter runs in the kernel, so
// the far more frequent "change@" announcements (batteries, backlights) never wake us.
// Classic BPF loads words in network byte order.
bool attachAddRemoveFilter(int fd) {
    static sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x61646440 /* "add@" */, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x72656D6F /* "remo" */, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, 3),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x6F766540 /* "ove@" */, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
    return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0;
}

bool isSafeNodeName(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    while (!name.empty()) {
        const std::size_t slash = name.find('/');
        const std::string_view part = name.substr(0, slash);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string_view::npos) break;
        name.remove_prefix(slash + 1);
        if (name.empty()) return false;  // a trailing slash
    }
    return true;
}

}  // namespace

DeviceEventSource::Failure DeviceEventSource::Failure::openFailed(std::string step, int errorNumber) {
    return Failure(Kind::open, errorNumber,
                   "cannot watch device events (" + step + "): " + std::strerror(errorNumber));
}

DeviceEventSource::Failure DeviceEventSource::Failure::readFailed(int errorNumber) {
    return Failure(Kind::read, errorNumber,
                   std::string("reading device events failed: ") + std::strerror(errorNumber));
}

KernelDeviceEvents::KernelDeviceEvents(std::filesystem::path devRoot) : devRoot_(std::move(devRoot)) {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        failure_ = Failure::openFailed("socket", errno);
        return;
    }
    // Without the filter every announcement arrives and take() sorts them out: slower, not
    // wrong, so a refusal is no reason to give up.
    attachAddRemoveFilter(fd);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;  // the kernel's own group (udev re-broadcasts on group 2)
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        failure_ = Failure::openFailed("bind", errno);
        ::close(fd);
        return;
    }
    fd_ = fd;
    reachesThisNamespace_ = inInitialUserNamespace();
}

KernelDeviceEvents::~KernelDeviceEvents() {
    if (fd_ >= 0) ::close(fd_);
}

DeviceEventSource::Batch KernelDeviceEvents::take() {
    Batch batch;
    for (int i = 0; fd_ >= 0 && i < messagesPerTake; ++i) {
        std::uint8_t buffer[messageLimit];
        sockaddr_nl sender{};
        iovec part{buffer, sizeof buffer};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        const ssize_t size = ::recvmsg(fd_, &message, MSG_DONTWAIT);
        if (size < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            if (errno == ENOBUFS) {
                batch.lost = true;
                continue;
            }
            batch.failure = Failure::readFailed(errno);
            // A descriptor that keeps failing would keep waking whoever waits on it.
            ::close(fd_);
            fd_ = -1;
            break;
        }
        // Only the kernel sends from port 0; anything else on the group is not its word.
        if ((message.msg_flags & MSG_TRUNC) || sender.nl_pid != 0) continue;
        const auto uevent = detail::parseUevent(ByteView(buffer, static_cast<std::size_t>(size)));
        if (!uevent || uevent->subsystem != "tty" || uevent->deviceName.empty()) continue;
        if (uevent->action != "add" && uevent->action != "remove") continue;
        batch.events.push_back(DeviceEvent{
            uevent->action == "add" ? DeviceEvent::Action::add : DeviceEvent::Action::remove,
            (devRoot_ / uevent->deviceName).string()});
    }
    return batch;
}

std::optional<detail::Uevent> detail::parseUevent(ByteView message) {
    std::string_view rest(reinterpret_cast<const char*>(message.data()), message.size());
    const auto nextField = [&rest] {
        const std::size_t end = rest.find('\0');
        const std::string_view field = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        return field;
    };

    const std::string_view header = nextField();
    const std::size_t at = header.find('@');
    if (at == std::string_view::npos) return std::nullopt;  // udev's "libudev" messages too

    Uevent event;
    bool seenAction = false, seenPath = false, seenSubsystem = false, seenName = false;
    while (!rest.empty()) {
        const std::string_view field = nextField();
        if (field.empty()) continue;  // the terminating NUL
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos || equals == 0) return std::nullopt;
        const std::string_view key = field.substr(0, equals);
        const std::string_view value = field.substr(equals + 1);
        const auto take = [&](bool& seen, std::string& into) {
            if (seen) return false;  // the same key twice: not the kernel's message
            seen = true;
            into = value;
            return true;
        };
        bool fine = true;
        if (key == "ACTION") fine = take(seenAction, event.action);
        else if (key == "DEVPATH") fine = take(seenPath, event.devicePath);
        else if (key == "SUBSYSTEM") fine = take(seenSubsystem, event.subsystem);
        else if (key == "DEVNAME") fine = take(seenName, event.deviceName);
        if (!fine) return std::nullopt;
    }
    if (event.action.empty() || event.devicePath.empty() || event.subsystem.empty()) return std::nullopt;
    if (header.substr(0, at) != event.action || header.substr(at + 1) != event.devicePath) {
        return std::nullopt;
    }
    if (seenName && !isSafeNodeName(event.deviceName)) return std::nullopt;
    return event;
}

}  // namespace avrane
