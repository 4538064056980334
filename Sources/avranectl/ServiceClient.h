#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AvraneKit/Client/ApplicationService.h"
#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Support/Bytes.h"

struct DBusConnection;
struct DBusMessage;

namespace avrane::ctl {

// What the running application says about the headset: its service's properties.
struct ServiceState {
    std::string availability;      // "connected", "no-dongle" or "unreachable"
    std::string availabilityText;  // why not connected, in English
    std::optional<std::string> dongleName, devicePath, serialNumber, model;
    std::optional<std::uint8_t> batteryPercent;
    std::optional<bool> batteryCharging;
    // The words `get` prints, by setting name; a setting the headset did not report is absent.
    std::map<std::string, std::string, std::less<>> settings;
};

// A request the application refused or could not carry out.
class ServiceError : public std::exception {
public:
    ServiceError(std::string name, std::string message) : name_(std::move(name)), message_(std::move(message)) {}
    // The D-Bus error's name, for example io.github.avranebar.AvraneBar.Error.NoReply.
    const std::string& name() const { return name_; }
    const std::string& description() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    // For the application's own errors the last word of the name ("NoReply": the headset did
    // not answer; "Busy", "DeadlinePassed", "InvalidValue", ...); the whole name for others
    // (the bus's own NoReply means the application did not answer).
    std::string_view kind() const;

private:
    std::string name_, message_;
};

// The running application's D-Bus service, as the command line uses it: the application
// holds the dongle's line, so everything goes through it. libdbus keeps the tool as quick
// to start as it is without it. Every wait ends when `interruptFd` becomes readable
// (Interrupted is thrown).
//
// Whoever holds the name is not trusted: every answer is checked (an availability it does
// not know, a battery above 100 %, a payload longer than a frame) and refused with a
// ServiceError that says so.
class ServiceClient {
public:
    static constexpr const char* name = applicationService::busName;
    // How long a request to the headset may wait in the application: one that cannot go out
    // by then is dropped unsent, and the answer says so.
    static constexpr std::chrono::milliseconds requestDeadline{5000};
    // How much longer its answer may take: the reply to a last frame sent just in time.
    static constexpr std::chrono::milliseconds answerMargin{2000};
    // An application holding the name that does not answer within this is said to hang.
    static constexpr std::chrono::milliseconds answerTimeout = requestDeadline + answerMargin;
    // For a status bar, which must show something soon: the properties, which the application
    // answers from memory.
    static constexpr std::chrono::milliseconds barTimeout{2000};

    // The application, when one holds its name on the session bus; nothing when there is no
    // session bus or nobody holds the name.
    static std::unique_ptr<ServiceClient> find(int interruptFd);
    ~ServiceClient();
    ServiceClient(const ServiceClient&) = delete;
    ServiceClient& operator=(const ServiceClient&) = delete;

    // The properties; `timeout` bounds the wait for them.
    ServiceState state(std::chrono::milliseconds timeout = requestDeadline);
    void set(std::string_view setting, std::string_view value);
    Bytes rawGet(EventID item);
    void rawSet(EventID item, const Bytes& payload);

    // From now on, changes are kept for nextChange.
    void follow();
    // Waits for the application's next announced change: the properties that changed, or
    // nothing when the application left the bus; with a `timeout`, an empty list when it
    // passed first.
    std::optional<std::vector<std::string>> nextChange(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

private:
    ServiceClient(DBusConnection* connection, int interruptFd);
    // Sends and waits up to `timeout` for the answer; throws ServiceError for an error answer
    // or none.
    DBusMessage* call(DBusMessage* request, std::chrono::milliseconds timeout = answerTimeout);
    // Waits until the connection has something to read; false when `timeoutMs` passed.
    bool waitForInput(int timeoutMs);

    struct MessageDeleter {
        void operator()(DBusMessage* message) const;
    };
    using Message = std::unique_ptr<DBusMessage, MessageDeleter>;

    DBusConnection* connection_;
    int interruptFd_;
    std::deque<Message> kept_;  // arrived while waiting for an answer
};

}  // namespace avrane::ctl
