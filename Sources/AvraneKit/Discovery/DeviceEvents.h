#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// A serial device that appeared or went away, as the system announced it.
struct DeviceEvent {
    enum class Action : std::uint8_t { add, remove };

    Action action = Action::add;
    std::string deviceNode;  // the path to open, as discovery gives it: "/dev/ttyACM0"

    bool operator==(const DeviceEvent&) const = default;
};

// Where announcements of serial devices come from. The controller's pump thread sleeps on
// `descriptor()` beside the serial line and takes what waits when it becomes readable; so
// that tests can announce devices themselves, the controller is handed a source.
class DeviceEventSource {
public:
    class Failure;
    struct Batch;

    virtual ~DeviceEventSource() = default;

    // Readable while announcements wait; -1 when this source has none to give.
    virtual int descriptor() const = 0;
    // Whether announcements can be relied on here. Where they cannot (no socket, a user
    // namespace of a container that the kernel does not tell), callers keep looking for
    // themselves as often as they did without events.
    virtual bool deliversEvents() const = 0;
    // What waits now, without blocking.
    virtual Batch take() = 0;
};

// Why a source gives nothing. `description()` (and `what()`) gives the text for the log.
class DeviceEventSource::Failure : public std::exception {
public:
    enum class Kind { open, read };

    // Watching could not start; `step` is the call that failed ("socket", "bind", ...).
    static Failure openFailed(std::string step, int errorNumber);
    static Failure readFailed(int errorNumber);

    Kind kind() const { return kind_; }
    int errorNumber() const { return errorNumber_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    Failure(Kind kind, int errorNumber, std::string description)
        : kind_(kind), errorNumber_(errorNumber), description_(std::move(description)) {}

    Kind kind_;
    int errorNumber_;
    std::string description_;
};

struct DeviceEventSource::Batch {
    std::vector<DeviceEvent> events;  // in the order announced
    // Announcements were lost (the kernel's queue for us overflowed): anything may have
    // come or gone meanwhile.
    bool lost = false;
    std::optional<Failure> failure;
};

// The kernel's own announcements (uevents), read from its netlink socket: no daemon needed,
// so they arrive in containers without udev too, and before udev has set the node's owner
// and mode (which is why an open right after an `add` may be refused for a moment). Only
// `add` and `remove` of tty devices are passed on; the socket's filter drops every other
// action in the kernel, so the frequent `change` announcements of batteries and the like
// never wake the reader.
class KernelDeviceEvents final : public DeviceEventSource {
public:
    // `devRoot` makes the node paths, as for discovery. Opens the socket; on failure the
    // source stays empty and says why in `failure()`.
    explicit KernelDeviceEvents(std::filesystem::path devRoot = "/dev");
    ~KernelDeviceEvents() override;

    KernelDeviceEvents(const KernelDeviceEvents&) = delete;
    KernelDeviceEvents& operator=(const KernelDeviceEvents&) = delete;

    int descriptor() const override { return fd_; }
    bool deliversEvents() const override { return fd_ >= 0 && reachesThisNamespace_; }
    Batch take() override;
    const std::optional<Failure>& failure() const { return failure_; }

private:
    int fd_ = -1;
    bool reachesThisNamespace_ = false;
    std::optional<Failure> failure_;
    const std::filesystem::path devRoot_;
};

namespace detail {

// One kernel announcement as it travels: "add@/devices/.../ttyACM0" and then NUL-separated
// KEY=value fields (ACTION, DEVPATH, SUBSYSTEM, DEVNAME, SEQNUM, ...).
struct Uevent {
    std::string action;
    std::string devicePath;
    std::string subsystem;
    std::string deviceName;  // relative to /dev; empty when the device has no node

    bool operator==(const Uevent&) const = default;
};

// Nothing for anything else: udev's own messages, a header that does not agree with the
// ACTION and DEVPATH fields, a field without '=', a missing field, a node name that would
// lead out of /dev.
std::optional<Uevent> parseUevent(ByteView message);

}  // namespace detail

}  // namespace avrane
