#include "avranectl/Watch.h"

#include <poll.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <vector>

#include "AvraneKit/Client/SettingTable.h"
#include "AvraneKit/Support/EnumTable.h"
#include "avranectl/FailureText.h"
#include "avranectl/Json.h"
#include "avranectl/Output.h"
#include "avranectl/StatusReport.h"

namespace avrane::ctl {
namespace {

std::string timeText(std::chrono::system_clock::time_point when, bool utc) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    if (utc) {
        gmtime_r(&t, &parts);
    } else {
        localtime_r(&t, &parts);
    }
    char text[32];
    std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%H:%M:%S", &parts);
    return text;
}

// Keeps the last known state and prints what each new reading changes in it.
class ChangePrinter {
public:
    ChangePrinter(std::ostream& out, bool json) : out_(out), json_(json) {}

    void notification(const Packet& packet) {
        if (!state_) return;
        HeadsetState next = *state_;
        if (applyNotification(next, packet)) {
            update(packet.eventID, std::move(next));
        } else if (json_) {
            emit(event(caseName(packet.eventID)).set("param", hexDump(packet.param)));
        } else {
            emit(std::string(caseName(packet.eventID)) + " [" + hexDump(packet.param) + "]");
        }
    }

    // A whole state read: the first one is only kept; later ones (after the headset or the
    // dongle was away) print every field that differs.
    void state(HeadsetState next) {
        unreachable_ = false;
        if (!state_) {
            state_ = std::move(next);
            return;
        }
        if (json_) {
            // One object per member that changed, each shaped as a notification's.
            const Json before = stateJson(*state_), after = stateJson(next);
            state_ = std::move(next);
            for (const EventID item : allCases<EventID>()) {
                const auto field = stateFieldName(item);
                if (!field) continue;
                const Json* old = before.find(*field);
                const Json* now = after.find(*field);
                if (old && now && old->dump() == now->dump()) continue;
                emit(event(caseName(item)).set(*field, now ? *now : Json()));
            }
            return;
        }
        printRows(std::move(next));
    }

    void battery(const BatteryInfo& battery) {
        unreachable_ = false;
        if (!state_) return;
        HeadsetState next = *state_;
        next.battery = battery;
        update(EventID::batteryInfo, std::move(next));
    }

    // Said once, until the headset answers again.
    void unreachable(const HeadsetClient::Failure& failure) { unreachable(failure.description()); }
    void unreachable(const std::string& reason) {
        if (unreachable_) return;
        unreachable_ = true;
        if (state_) state_->battery.reset();  // so that the next answer is printed, changed or not
        if (json_) {
            emit(event(caseName(EventID::batteryInfo)).set("battery", Json()).set("error", reason));
        } else {
            emit("headset not responding: " + reason);
        }
    }

    // The dongle is away (or cannot be had for now): said once, until it is back.
    void dongleGone(const std::optional<std::string>& devicePath, const std::string& reason) {
        if (dongleGone_) return;
        dongleGone_ = true;
        if (json_) {
            emit(event("dongleGone").set("devicePath", devicePath).set("error", reason));
        } else {
            emit(reason + "; waiting for the dongle");
        }
    }

    void dongleBack(const std::string& devicePath) {
        if (!dongleGone_) return;
        dongleGone_ = false;
        if (json_) {
            emit(event("dongleBack").set("devicePath", devicePath));
        } else {
            emit("dongle back at " + devicePath);
        }
    }

private:
    static std::chrono::system_clock::time_point now() { return std::chrono::system_clock::now(); }

    static Json event(std::string_view name) {
        return Json::object().set("time", timeText(now(), true)).set("event", std::string(name));
    }

    void update(EventID item, HeadsetState next) {
        if (next == *state_) return;
        if (json_) {
            state_ = std::move(next);
            const std::string field = stateFieldName(item).value_or("");
            const Json all = stateJson(*state_);
            const Json* value = all.find(field);
            emit(event(caseName(item)).set(field, value ? *value : Json()));
            return;
        }
        printRows(std::move(next));
    }

    // Text: the rows that differ, on one line.
    void printRows(HeadsetState next) {
        const auto before = stateRows(*state_);
        const auto after = stateRows(next);
        state_ = std::move(next);
        std::string line;
        for (std::size_t i = 0; i < after.size() && i < before.size(); ++i) {
            if (after[i] == before[i]) continue;
            line += (line.empty() ? "" : ", ") + after[i].first + " " + after[i].second;
        }
        if (!line.empty()) emit(line);
    }

    void emit(const Json& object) { out_ << object.dump() << '\n' << std::flush; }
    void emit(const std::string& line) {
        out_ << timeText(now(), false) << "  " << printable(line) << '\n' << std::flush;
    }

    std::optional<HeadsetState> state_;
    std::ostream& out_;
    bool json_;
    bool unreachable_ = false;
    bool dongleGone_ = false;
};

// Failures of a dongle that is away or coming back: its device is not there (yet), vanished
// while being opened, is held by another program for now, or is not yet given to its group
// (udev sets the permissions of a new device a moment after it appears). Anything else (not
// a terminal, say) will not mend by waiting.
bool mayMendByWaiting(const SerialPort::Failure& failure) {
    using Kind = SerialPort::Failure::Kind;
    const int error = failure.errorNumber();
    if (failure.kind() == Kind::configure) return error == EIO || error == ENODEV || error == ENXIO;
    return failure.kind() == Kind::open && !failure.isNotSerialDevice() &&
           (error == ENOENT || error == ENODEV || error == ENXIO || error == EIO ||
            failure.isInUse() || failure.isPermissionDenied());
}

std::unique_ptr<HeadsetClient> connectWhenThere(const Connect& connect, ChangePrinter& printer,
                                                int interruptFd) {
    while (true) {
        try {
            return connect();
        } catch (const HeadsetClient::Failure& failure) {
            if (failure.kind() != HeadsetClient::Failure::Kind::noDongleFound) throw;
            printer.dongleGone(std::nullopt, failure.description());
        } catch (const SerialPort::Failure& failure) {
            if (!mayMendByWaiting(failure)) throw;
            printer.dongleGone(failure.path(), portFailureText(failure));
        }
        pauseFor(dongleLookPeriod, interruptFd);
    }
}

// One connection, from its first state read until the dongle goes (its port failure is
// thrown) or the watch is interrupted.
void watchConnection(HeadsetClient& client, ChangePrinter& printer, bool follow) {
    using Clock = std::chrono::steady_clock;
    // The client calls back with its lock held, so packets are only collected there.
    std::vector<Packet> arrived;
    client.onNotification = [&](const Packet& packet) { arrived.push_back(packet); };
    struct Unhook {
        HeadsetClient& client;
        ~Unhook() { client.onNotification = nullptr; }
    } unhook{client};
    const auto deliver = [&] {
        for (const Packet& packet : arrived) printer.notification(packet);
        arrived.clear();
    };

    // Whether the next periodic read is a whole state read: when the headset did not answer
    // the first one on a dongle that came back.
    bool needsState = false;
    try {
        printer.state(client.state());
    } catch (const HeadsetClient::Failure& failure) {
        if (!follow) throw;
        printer.unreachable(failure);
        needsState = true;
    }
    deliver();
    auto nextRead = Clock::now() + batteryReadPeriod;
    while (true) {
        // Until the next read falls due; notifications and an interruption end it earlier.
        client.pumpNotifications(std::chrono::duration<double>(nextRead - Clock::now()).count());
        deliver();
        if (Clock::now() < nextRead) continue;
        nextRead = Clock::now() + batteryReadPeriod;
        try {
            if (needsState) {
                HeadsetState state = client.state();
                deliver();
                printer.state(std::move(state));
                needsState = false;
            } else {
                const BatteryInfo battery = client.batteryInfo();
                deliver();
                printer.battery(battery);
            }
        } catch (const HeadsetClient::Failure& failure) {
            deliver();
            printer.unreachable(failure);
        }
    }
}

// The items to read again when the application announces these properties changed.
std::vector<EventID> itemsOf(const std::vector<std::string>& properties) {
    std::vector<EventID> items;
    const auto add = [&](EventID item) {
        if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
    };
    for (const std::string& property : properties) {
        if (property == "BatteryPercent" || property == "BatteryCharging") add(EventID::batteryInfo);
        if (property == "HeadsetBluetoothPower" || property == "HeadsetBluetoothLink") add(EventID::btStatus);
        for (const Setting& setting : settingTable()) {
            if (propertyName(setting.name) == property) add(setting.item);
        }
    }
    return items;
}

// Answers of the application that pass: its link failed meanwhile (the availability it
// announces next tells what became of the dongle), it was too busy, or the request waited too
// long behind other work. The read is tried again shortly.
bool passes(const ServiceError& failure) {
    const std::string_view kind = failure.kind();
    return kind == "Failed" || kind == "Busy" || kind == "DeadlinePassed";
}

// One spell of the application: from its state until it quits (ServiceGone is thrown).
void watchSpell(ServiceClient& service, ChangePrinter& printer, bool follow) {
    service.follow();
    ServiceState state = service.state();
    std::string availability;
    std::unique_ptr<HeadsetClient> client;
    // Reads that the application could not carry out for now, tried again while it is
    // connected: the whole state, or the items of changes it announced.
    bool stateOwed = false;
    std::vector<EventID> owed;
    const auto readState = [&] {
        stateOwed = false;
        owed.clear();
        try {
            printer.state(client->state());
        } catch (const HeadsetClient::Failure& failure) {
            printer.unreachable(failure);
        } catch (const ServiceError& failure) {
            if (!passes(failure)) throw;
            stateOwed = true;
        }
    };
    const auto readItems = [&](const std::vector<EventID>& items) {
        for (const EventID item : items) {
            try {
                const Bytes payload = service.rawGet(item);
                printer.notification(Packet::command(item, EventType::ntfy, 0, payload));
                std::erase(owed, item);
            } catch (const ServiceError& failure) {
                if (failure.kind() == "NoReply") {
                    std::erase(owed, item);
                    printer.unreachable(failure.description());
                } else if (!passes(failure)) {
                    throw;
                } else if (std::find(owed.begin(), owed.end(), item) == owed.end()) {
                    owed.push_back(item);
                }
            }
        }
    };
    // What the application reports of its link, as a watch on the dongle would say it.
    const auto take = [&](ServiceState next) {
        if (next.availability == availability && client) return;
        availability = next.availability;
        if (next.availability == "connected") {
            client = relayedClient(service, next);
            if (next.devicePath) printer.dongleBack(*next.devicePath);
            readState();
        } else if (next.availability == "unreachable") {
            printer.unreachable(next.availabilityText);
        } else {
            if (!follow) throw ServiceError("no-dongle", next.availabilityText);
            printer.dongleGone(next.devicePath, next.availabilityText);
        }
    };
    take(std::move(state));
    while (true) {
        const bool retry = availability == "connected" && (stateOwed || !owed.empty());
        const auto changed = service.nextChange(retry ? std::optional(readRetryPeriod) : std::nullopt);
        if (!changed) break;
        if (std::find(changed->begin(), changed->end(), "Availability") != changed->end() ||
            std::find(changed->begin(), changed->end(), "AvailabilityText") != changed->end()) {
            take(service.state());
            continue;
        }
        if (!client) continue;
        if (stateOwed) {
            readState();
            continue;
        }
        std::vector<EventID> items = owed;
        for (const EventID item : itemsOf(*changed)) {
            if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
        }
        readItems(items);
    }
    throw ServiceGone();
}

}  // namespace

void pauseFor(std::chrono::milliseconds period, int interruptFd) {
    pollfd p{.fd = interruptFd, .events = POLLIN, .revents = 0};
    const auto deadline = std::chrono::steady_clock::now() + period;
    for (auto left = period; left.count() > 0;
         left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())) {
        const int ready = ::poll(&p, interruptFd >= 0 ? 1 : 0, static_cast<int>(left.count()));
        if (ready > 0) throw Interrupted();
    }
}

std::unique_ptr<HeadsetClient> relayedClient(ServiceClient& service, const ServiceState& state) {
    const DiscoveredDongle dongle{DongleModel{0, 0, state.dongleName.value_or("AVRANE dongle")},
                                  state.devicePath.value_or("?"), state.serialNumber};
    return std::make_unique<HeadsetClient>(dongle, [&service](EventID item, EventType type, const Bytes& param) {
        try {
            if (type == EventType::get) return service.rawGet(item);
            service.rawSet(item, param);
            return Bytes{};
        } catch (const ServiceError& failure) {
            // As from a port of our own: the state read then goes item by item.
            if (failure.kind() == "NoReply") throw HeadsetClient::Failure::timeout(item);
            throw;
        }
    });
}

void watchThroughService(ServiceClient& service, const Connect& connect, std::ostream& out,
                         const WatchOptions& options) {
    ChangePrinter printer(out, options.json);
    std::unique_ptr<ServiceClient> current;
    ServiceClient* spell = &service;
    while (true) {
        try {
            watchSpell(*spell, printer, options.follow);
        } catch (const ServiceGone&) {
            if (!options.follow) throw;
        }
        printer.dongleGone(std::nullopt, "AvraneBar quit");
        // Back through the application when it returns, or on the dongle once it is free.
        for (current.reset(); !current; current = ServiceClient::find(options.interruptFd)) {
            try {
                // The dongle is free: the watch goes on there, on the client just opened.
                std::unique_ptr<HeadsetClient> opened = connect();
                printer.dongleBack(opened->dongle().devicePath);
                watch([&] { return opened ? std::move(opened) : connect(); }, out, options);
                return;
            } catch (const HeadsetClient::Failure&) {
            } catch (const SerialPort::Failure&) {
            }
            pauseFor(dongleLookPeriod, options.interruptFd);
        }
        spell = current.get();
    }
}

void watch(const Connect& connect, std::ostream& out, const WatchOptions& options) {
    ChangePrinter printer(out, options.json);
    while (true) {
        const auto client = options.follow ? connectWhenThere(connect, printer, options.interruptFd) : connect();
        printer.dongleBack(client->dongle().devicePath);
        try {
            watchConnection(*client, printer, options.follow);
        } catch (const SerialPort::Failure& failure) {
            if (!options.follow || !failure.isDeviceGone()) throw;
            printer.dongleGone(client->dongle().devicePath, portFailureText(failure));
        }
    }
}

}  // namespace avrane::ctl
