#include "avranectl/ServiceClient.h"

#include <dbus/dbus.h>
#include <poll.h>
#include <sys/stat.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "AvraneKit/Client/Interrupted.h"
#include "AvraneKit/Client/SettingTable.h"
#include "AvraneKit/Protocol/Packet.h"

namespace avrane::ctl {
namespace {

using applicationService::interfaceName;
using applicationService::objectPath;
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

// The session bus's address: the environment's, else the user's bus socket where systemd
// puts it. Never libdbus's own fallback, which may start a bus of its own.
std::optional<std::string> sessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return address;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        const std::string socket = std::string(runtime) + "/bus";
        struct stat info {};
        if (::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return "unix:path=" + socket;
    }
    return std::nullopt;
}

DBusMessage* methodCall(const char* interface, const char* method) {
    return dbus_message_new_method_call(ServiceClient::name, objectPath, interface, method);
}

void appendString(DBusMessage* message, std::string_view text) {
    const std::string copy(text);
    const char* pointer = copy.c_str();
    dbus_message_append_args(message, DBUS_TYPE_STRING, &pointer, DBUS_TYPE_INVALID);
}

std::string readString(DBusMessageIter* iter) {
    const char* text = "";
    dbus_message_iter_get_basic(iter, &text);
    return text;
}

// One property value: a plain string or boolean, or a (known, value) pair.
struct PropertyValue {
    bool known = true;
    std::string text;
    std::optional<std::uint8_t> byte;
    std::optional<bool> flag;
};

PropertyValue readValue(DBusMessageIter* variant) {
    PropertyValue value;
    DBusMessageIter iter = *variant;
    if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_STRUCT) {
        DBusMessageIter members;
        dbus_message_iter_recurse(&iter, &members);
        dbus_bool_t known = false;
        dbus_message_iter_get_basic(&members, &known);
        value.known = known;
        dbus_message_iter_next(&members);
        iter = members;
    }
    switch (dbus_message_iter_get_arg_type(&iter)) {
        case DBUS_TYPE_STRING: value.text = readString(&iter); break;
        case DBUS_TYPE_BYTE: {
            unsigned char byte = 0;
            dbus_message_iter_get_basic(&iter, &byte);
            value.byte = byte;
            break;
        }
        case DBUS_TYPE_BOOLEAN: {
            dbus_bool_t flag = false;
            dbus_message_iter_get_basic(&iter, &flag);
            value.flag = flag;
            break;
        }
        default: value.known = false;
    }
    return value;
}

// The names in a PropertiesChanged signal's dictionary of changed properties.
std::vector<std::string> changedNames(DBusMessage* signal) {
    std::vector<std::string> names;
    DBusMessageIter iter, dict;
    if (!dbus_message_iter_init(signal, &iter) || !dbus_message_iter_next(&iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) {
        return names;
    }
    dbus_message_iter_recurse(&iter, &dict);
    while (dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&dict, &entry);
        names.push_back(readString(&entry));
        dbus_message_iter_next(&dict);
    }
    return names;
}

// The deadline of a request sent now, as the service takes it: the machine's monotonic clock
// in microseconds, which every process of the machine shares.
dbus_uint64_t deadlineFromNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto at = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec) +
                    ServiceClient::requestDeadline;
    return dbus_uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(at).count());
}

// Something the name's holder said that the application never says.
ServiceError untrusted(const std::string& what) {
    return ServiceError(std::string(interfaceName) + ".Error.Untrusted",
                        "whoever holds " + std::string(ServiceClient::name) + " answered with " + what +
                            ", which AvraneBar never sends; is it AvraneBar?");
}

}  // namespace

void ServiceClient::MessageDeleter::operator()(DBusMessage* message) const { dbus_message_unref(message); }

std::string_view ServiceError::kind() const {
    const std::string prefix = std::string(interfaceName) + ".Error.";
    if (!name_.starts_with(prefix)) return name_;
    return std::string_view(name_).substr(prefix.size());
}

std::unique_ptr<ServiceClient> ServiceClient::find(int interruptFd) {
    const auto address = sessionBusAddress();
    if (!address) return nullptr;
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(address->c_str(), &error);
    if (!connection || !dbus_bus_register(connection, &error)) {
        dbus_error_free(&error);
        if (connection) {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
        }
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(connection, false);
    const bool running = dbus_bus_name_has_owner(connection, name, &error);
    dbus_error_free(&error);
    std::unique_ptr<ServiceClient> client(new ServiceClient(connection, interruptFd));
    if (!running) return nullptr;
    return client;
}

ServiceClient::ServiceClient(DBusConnection* connection, int interruptFd)
    : connection_(connection), interruptFd_(interruptFd) {}

ServiceClient::~ServiceClient() {
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
}

bool ServiceClient::waitForInput(int timeoutMs) {
    int fd = -1;
    dbus_connection_get_unix_fd(connection_, &fd);
    pollfd fds[2] = {{.fd = fd, .events = POLLIN, .revents = 0}, {.fd = interruptFd_, .events = POLLIN, .revents = 0}};
    const int n = ::poll(fds, interruptFd_ >= 0 ? 2 : 1, timeoutMs);
    if (interruptFd_ >= 0 && (fds[1].revents & POLLIN)) throw Interrupted();
    return n > 0;
}

DBusMessage* ServiceClient::call(DBusMessage* request, std::chrono::milliseconds timeout) {
    dbus_uint32_t serial = 0;
    if (!dbus_connection_send(connection_, request, &serial)) {
        throw ServiceError("org.freedesktop.DBus.Error.Disconnected", "the session bus went away");
    }
    dbus_connection_flush(connection_);
    // The answer is picked out of what arrives; signals that come first are kept for
    // nextChange (libdbus's own pending calls would need its dispatching, which drops them).
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    while (true) {
        dbus_connection_read_write(connection_, 0);
        while (DBusMessage* message = dbus_connection_pop_message(connection_)) {
            if (dbus_message_get_reply_serial(message) != serial) {
                kept_.emplace_back(message);
                continue;
            }
            if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_ERROR) {
                const char* text = "";
                dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
                ServiceError failure(dbus_message_get_error_name(message), text);
                dbus_message_unref(message);
                throw failure;
            }
            return message;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !dbus_connection_get_is_connected(connection_)) {
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%g", std::chrono::duration<double>(timeout).count());
            throw ServiceError("org.freedesktop.DBus.Error.NoReply", std::string("AvraneBar holds ") + name +
                                                                         " on the session bus but did not answer within " +
                                                                         seconds + " s");
        }
        waitForInput(int(left));
    }
}

ServiceState ServiceClient::state(std::chrono::milliseconds timeout) {
    const Message request(methodCall(propertiesInterface, "GetAll"));
    appendString(request.get(), interfaceName);
    const Message reply(call(request.get(), timeout));
    ServiceState state;
    std::map<std::string, std::string> settingOfProperty;
    for (const Setting& setting : settingTable()) settingOfProperty[propertyName(setting.name)] = setting.name;

    DBusMessageIter iter, dict;
    if (!dbus_message_iter_init(reply.get(), &iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return state;
    dbus_message_iter_recurse(&iter, &dict);
    while (dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry, variant;
        dbus_message_iter_recurse(&dict, &entry);
        const std::string property = readString(&entry);
        dbus_message_iter_next(&entry);
        dbus_message_iter_recurse(&entry, &variant);
        const PropertyValue value = readValue(&variant);
        const auto text = [&] { return value.known ? std::optional(value.text) : std::nullopt; };
        if (property == "Availability") state.availability = value.text;
        else if (property == "AvailabilityText") state.availabilityText = value.text;
        else if (property == "DongleName") state.dongleName = text();
        else if (property == "DevicePath") state.devicePath = text();
        else if (property == "SerialNumber") state.serialNumber = text();
        else if (property == "Model") state.model = text();
        else if (property == "BatteryPercent" && value.known) state.batteryPercent = value.byte;
        else if (property == "BatteryCharging" && value.known) state.batteryCharging = value.flag;
        else if (const auto setting = settingOfProperty.find(property); setting != settingOfProperty.end() && value.known) {
            state.settings[setting->second] = value.text;
        }
        dbus_message_iter_next(&dict);
    }
    if (state.availability != "connected" && state.availability != "no-dongle" && state.availability != "unreachable") {
        throw untrusted("an availability \"" + state.availability + "\"");
    }
    if (state.batteryPercent && *state.batteryPercent > 100) {
        throw untrusted("a battery of " + std::to_string(*state.batteryPercent) + " %");
    }
    return state;
}

void ServiceClient::set(std::string_view setting, std::string_view value) {
    const Message request(methodCall(interfaceName, "SetBefore"));
    appendString(request.get(), setting);
    appendString(request.get(), value);
    const dbus_uint64_t deadline = deadlineFromNow();
    dbus_message_append_args(request.get(), DBUS_TYPE_UINT64, &deadline, DBUS_TYPE_INVALID);
    dbus_message_unref(call(request.get()));
}

Bytes ServiceClient::rawGet(EventID item) {
    const Message request(methodCall(interfaceName, "RawGetBefore"));
    const unsigned char raw = rawValue(item);
    const dbus_uint64_t deadline = deadlineFromNow();
    dbus_message_append_args(request.get(), DBUS_TYPE_BYTE, &raw, DBUS_TYPE_UINT64, &deadline, DBUS_TYPE_INVALID);
    const Message reply(call(request.get()));
    const unsigned char* bytes = nullptr;
    int length = 0;
    if (!dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_ARRAY, DBUS_TYPE_BYTE, &bytes, &length,
                               DBUS_TYPE_INVALID)) {
        throw untrusted("an answer to RawGet that holds no payload");
    }
    // No frame carries more; a longer answer did not come from the headset.
    const std::size_t longest = Packet::maximumParamLength(PacketType::command);
    if (std::size_t(length) > longest) {
        throw untrusted("a payload of " + std::to_string(length) + " bytes for " + std::string(caseName(item)) +
                        ", more than a frame carries (" + std::to_string(longest) + ")");
    }
    return Bytes(bytes, bytes + (bytes ? length : 0));
}

void ServiceClient::rawSet(EventID item, const Bytes& payload) {
    const Message request(methodCall(interfaceName, "RawSetBefore"));
    const unsigned char raw = rawValue(item);
    const unsigned char* bytes = payload.data();
    const int length = int(payload.size());
    const dbus_uint64_t deadline = deadlineFromNow();
    dbus_message_append_args(request.get(), DBUS_TYPE_BYTE, &raw, DBUS_TYPE_ARRAY, DBUS_TYPE_BYTE, &bytes, length,
                             DBUS_TYPE_UINT64, &deadline, DBUS_TYPE_INVALID);
    dbus_message_unref(call(request.get()));
}

void ServiceClient::follow() {
    const std::string properties = std::string("type='signal',sender='") + name + "',path='" + objectPath +
                                   "',interface='" + propertiesInterface + "',member='PropertiesChanged'";
    const std::string owner = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                          "member='NameOwnerChanged',arg0='") + name + "'";
    dbus_bus_add_match(connection_, properties.c_str(), nullptr);
    dbus_bus_add_match(connection_, owner.c_str(), nullptr);
    dbus_connection_flush(connection_);
}

std::optional<std::vector<std::string>> ServiceClient::nextChange(std::optional<std::chrono::milliseconds> timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
    for (;;) {
        dbus_connection_read_write(connection_, 0);
        while (DBusMessage* raw = kept_.empty() ? dbus_connection_pop_message(connection_) : kept_.front().release()) {
            if (!kept_.empty()) kept_.pop_front();
            const Message message(raw);
            if (dbus_message_is_signal(raw, propertiesInterface, "PropertiesChanged")) return changedNames(raw);
            if (dbus_message_is_signal(raw, "org.freedesktop.DBus", "NameOwnerChanged")) {
                const char *owned = "", *before = "", *after = "";
                dbus_message_get_args(raw, nullptr, DBUS_TYPE_STRING, &owned, DBUS_TYPE_STRING, &before, DBUS_TYPE_STRING,
                                      &after, DBUS_TYPE_INVALID);
                if (*after == '\0') return std::nullopt;
            }
            if (dbus_message_is_signal(raw, DBUS_INTERFACE_LOCAL, "Disconnected")) return std::nullopt;
        }
        if (!dbus_connection_get_is_connected(connection_)) return std::nullopt;
        if (!deadline) {
            waitForInput(-1);
            continue;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
        if (left <= 0 || !waitForInput(int(left))) return std::vector<std::string>{};
    }
}

}  // namespace avrane::ctl
