#include "avranectl/Watch.h"

#include <poll.h>

#include <ctime>
#include <vector>

#include "avranectl/Json.h"
#include "avranectl/StatusReport.h"

namespace avrane::ctl {
namespace {

// Waits for notifications this long at a time, so an interruption is seen promptly even
// on a line where nothing happens.
constexpr double pumpTimeout = 0.25;

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

bool isReadable(int fd) {
    if (fd < 0) return false;
    pollfd p{.fd = fd, .events = POLLIN, .revents = 0};
    return ::poll(&p, 1, 0) > 0;
}

// Keeps the last known state and prints what each new reading changes in it.
class ChangePrinter {
public:
    ChangePrinter(HeadsetState state, std::ostream& out, bool json)
        : state_(std::move(state)), out_(out), json_(json) {}

    void notification(const Packet& packet) {
        HeadsetState next = state_;
        if (applyNotification(next, packet)) {
            update(packet.eventID, std::move(next));
        } else if (json_) {
            emit(Json::object()
                     .set("time", timeText(now(), true))
                     .set("event", caseName(packet.eventID))
                     .set("param", hexDump(packet.param)));
        } else {
            emit(std::string(caseName(packet.eventID)) + " [" + hexDump(packet.param) + "]");
        }
    }

    void battery(const BatteryInfo& battery) {
        unreachable_ = false;
        HeadsetState next = state_;
        next.battery = battery;
        update(EventID::batteryInfo, std::move(next));
    }

    // Said once, until the headset answers again.
    void unreachable(const HeadsetClient::Failure& failure) {
        if (unreachable_) return;
        unreachable_ = true;
        state_.battery.reset();  // so that the next answer is printed, changed or not
        if (json_) {
            emit(Json::object()
                     .set("time", timeText(now(), true))
                     .set("event", caseName(EventID::batteryInfo))
                     .set("battery", Json())
                     .set("error", failure.description()));
        } else {
            emit("headset not responding: " + failure.description());
        }
    }

private:
    static std::chrono::system_clock::time_point now() { return std::chrono::system_clock::now(); }

    void update(EventID item, HeadsetState next) {
        if (next == state_) return;
        const auto before = stateRows(state_);
        const auto after = stateRows(next);
        state_ = std::move(next);
        if (json_) {
            const std::string field = stateFieldName(item).value_or("");
            const Json all = stateJson(state_);
            const Json* value = all.find(field);
            emit(Json::object()
                     .set("time", timeText(now(), true))
                     .set("event", caseName(item))
                     .set(field, value ? *value : Json()));
            return;
        }
        std::string line;
        for (std::size_t i = 0; i < after.size() && i < before.size(); ++i) {
            if (after[i] == before[i]) continue;
            line += (line.empty() ? "" : ", ") + after[i].first + " " + after[i].second;
        }
        if (!line.empty()) emit(line);
    }

    void emit(const Json& object) { out_ << object.dump() << '\n' << std::flush; }
    void emit(const std::string& line) {
        out_ << timeText(now(), false) << "  " << line << '\n' << std::flush;
    }

    HeadsetState state_;
    std::ostream& out_;
    bool json_;
    bool unreachable_ = false;
};

}  // namespace

void watch(HeadsetClient& client, std::ostream& out, bool json, int interruptFd) {
    using Clock = std::chrono::steady_clock;
    // The client calls back with its lock held, so packets are only collected there.
    std::vector<Packet> arrived;
    client.onNotification = [&](const Packet& packet) { arrived.push_back(packet); };
    struct Unhook {
        HeadsetClient& client;
        ~Unhook() { client.onNotification = nullptr; }
    } unhook{client};
    const auto deliver = [&](ChangePrinter& printer) {
        for (const Packet& packet : arrived) printer.notification(packet);
        arrived.clear();
    };

    ChangePrinter printer(client.state(), out, json);
    deliver(printer);
    auto nextBatteryRead = Clock::now() + batteryReadPeriod;
    while (!isReadable(interruptFd)) {
        client.pumpNotifications(pumpTimeout);
        deliver(printer);
        if (Clock::now() < nextBatteryRead) continue;
        nextBatteryRead = Clock::now() + batteryReadPeriod;
        try {
            const BatteryInfo battery = client.batteryInfo();
            deliver(printer);
            printer.battery(battery);
        } catch (const HeadsetClient::Failure& failure) {
            deliver(printer);
            printer.unreachable(failure);
        }
    }
}

}  // namespace avrane::ctl
