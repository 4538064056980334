#pragma once

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
    // The last word of the name: "NoReply", "InvalidValue", ...
    std::string_view kind() const;

private:
    std::string name_, message_;
};

// The running application's D-Bus service, as the command line uses it: the application
// holds the dongle's line, so everything goes through it. libdbus keeps the tool as quick
// to start as it is without it. Every wait ends when `interruptFd` becomes readable
// (Interrupted is thrown).
class ServiceClient {
public:
    static constexpr const char* name = applicationService::busName;
    // An application holding the name that does not answer within this is said to hang.
    static constexpr int answerTimeoutMs = 5000;

    // The application, when one holds its name on the session bus; nothing when there is no
    // session bus or nobody holds the name.
    static std::unique_ptr<ServiceClient> find(int interruptFd);
    ~ServiceClient();
    ServiceClient(const ServiceClient&) = delete;
    ServiceClient& operator=(const ServiceClient&) = delete;

    ServiceState state();
    void set(std::string_view setting, std::string_view value);
    Bytes rawGet(EventID item);
    void rawSet(EventID item, const Bytes& payload);

    // From now on, changes are kept for nextChange.
    void follow();
    // Waits for the application's next announced change: the properties that changed, or
    // nothing when the application left the bus.
    std::optional<std::vector<std::string>> nextChange();

private:
    ServiceClient(DBusConnection* connection, int interruptFd);
    // Sends and waits for the answer; throws ServiceError for an error answer or none.
    DBusMessage* call(DBusMessage* request);
    // Waits until the connection has something to read; false when `deadlineMs` passed.
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
