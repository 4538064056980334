#include "avranectl/Tool.h"

#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <stdexcept>

#include "AvraneKit/Client/HeadsetClient.h"
#include "avranectl/CommandLine.h"
#include "avranectl/DongleList.h"
#include "avranectl/FailureText.h"
#include "avranectl/Output.h"
#include "avranectl/ServiceClient.h"
#include "avranectl/StatusReport.h"
#include "avranectl/Watch.h"
#include "avranectl/WaybarStatus.h"

#ifndef AVRANE_VERSION
#define AVRANE_VERSION "unknown"
#endif

namespace avrane::ctl {
namespace {

// Pretty-printed JSON for whole answers; watch writes one object per line.
constexpr int jsonIndent = 2;

// A write whose fate nobody can know: its frame went out, then the line failed.
class UnconfirmedWrite : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs a write on the dongle; a port failure after its frame went out is told apart.
template <class Write>
void writeOnTheDongle(HeadsetClient& client, Write write) {
    try {
        write();
    } catch (const SerialPort::Failure& failure) {
        if (!client.lastSetUnanswered()) throw;
        throw UnconfirmedWrite("the line failed before the headset confirmed the write, which it may have taken (" +
                               portFailureText(failure) + ")");
    }
}

// The application's own link settings: 1.2 s per attempt, three attempts.
constexpr double defaultReplyTimeout = 1.2;
constexpr int attemptsPerRequest = 3;

std::unique_ptr<HeadsetClient> connect(const Invocation& inv, const Environment& env) {
    auto client = HeadsetClient::connect(inv.port ? *inv.port : env.portOverride, env.roots);
    client->replyTimeout = env.replyTimeout.value_or(defaultReplyTimeout);
    client->retryCount = attemptsPerRequest;
    client->interruptFd = env.interruptFd;
    return client;
}

// 128 + the number of the signal that interrupted the tool, as a shell reports it.
int interruptedStatus(int interruptFd) {
    unsigned char signal = SIGINT;
    if (interruptFd >= 0) {
        [[maybe_unused]] const auto n = ::read(interruptFd, &signal, 1);
    }
    return 128 + signal;
}

// Never fails: whatever goes wrong becomes the reading's outcome.
BarReading readForBar(const Invocation& inv, const Environment& env) {
    BarReading reading;
    const auto unreachable = [&](std::string reason) {
        reading.outcome = BarReading::Outcome::unreachable;
        reading.reason = std::move(reason);
    };
    try {
        const auto client = connect(inv, env);
        reading.battery = client->batteryInfo();
        try {
            reading.headsetName = client->modelInfo().deviceName();
        } catch (const HeadsetClient::Failure&) {
            reading.headsetName = "AVRANE headset";
        }
        reading.outcome = BarReading::Outcome::battery;
    } catch (const Interrupted&) {
        throw;
    } catch (const HeadsetClient::Failure& failure) {
        unreachable(failure.description());
        if (failure.kind() == HeadsetClient::Failure::Kind::noDongleFound) {
            reading.outcome = BarReading::Outcome::noDongle;
        }
        reading.timedOut = failure.kind() == HeadsetClient::Failure::Kind::timeout;
    } catch (const SerialPort::Failure& failure) {
        unreachable(portFailureText(failure));
    } catch (const std::exception& error) {
        unreachable(error.what());
    }
    return reading;
}

// What get prints: the value's words, or with --json an object holding it, as a number when
// it is one.
void printSetting(std::ostream& out, const Setting& setting, const SettingValue& value, bool json) {
    if (!json) {
        out << printable(value.text) << "\n";
        return;
    }
    Json number;
    if (value.isNumber) {
        double parsed = 0;
        const auto [end, error] = std::from_chars(value.text.data(), value.text.data() + value.text.size(), parsed);
        if (error == std::errc{} && end == value.text.data() + value.text.size()) number = Json(parsed);
    }
    out << Json::object()
               .set("setting", setting.name)
               .set("value", value.isNumber ? number : Json(value.text))
               .dump(jsonIndent)
        << "\n";
}

BarReading readingOf(const ServiceState& state) {
    BarReading reading;
    if (state.availability == "connected") {
        reading.outcome = BarReading::Outcome::battery;
        if (state.batteryPercent) {
            reading.battery = BatteryInfo{std::uint8_t(state.batteryCharging.value_or(false) ? 1 : 0), state.batteryPercent};
        }
        reading.headsetName = state.model.value_or("AVRANE headset");
    } else {
        reading.outcome = state.availability == "unreachable" ? BarReading::Outcome::unreachable : BarReading::Outcome::noDongle;
        reading.reason = state.availabilityText;
        reading.timedOut = state.availability == "unreachable";
    }
    return reading;
}

// The state for a command that needs the headset: its failure when it cannot be reached.
ServiceState reachable(ServiceClient& service) {
    ServiceState state = service.state();
    if (state.availability != "connected") throw ServiceError(state.availability, state.availabilityText);
    return state;
}

// The running application, when there is one to go through: commands that reach the headset
// go through it unless the command line names a device or asks for the port itself.
std::unique_ptr<ServiceClient> throughService(const Invocation& inv, const Environment& env) {
    if (inv.port || inv.direct || inv.command == Command::list || !env.useService) return nullptr;
    return ServiceClient::find(env.interruptFd);
}

// What the application says, for a bar: always a reading, soon. An application that holds
// its name but does not answer (frozen, or not AvraneBar at all) is a headset that cannot be
// reached.
BarReading barReading(ServiceClient& service) {
    try {
        return readingOf(service.state(ServiceClient::barTimeout));
    } catch (const ServiceError& failure) {
        BarReading reading;
        reading.outcome = BarReading::Outcome::unreachable;
        reading.reason = failure.description();
        return reading;
    }
}

// Lines for a bar: one now, and with `follow` one more each time it would read differently.
// While the application is away the bar says so, and the lines go on when it is back.
void waybarThroughService(ServiceClient& first, std::ostream& out, bool follow, int interruptFd) {
    std::string last;
    const auto print = [&](const BarReading& reading) {
        const std::string line = waybarJson(reading).dump();
        if (line == last) return;
        last = line;
        out << line << "\n" << std::flush;
    };
    std::unique_ptr<ServiceClient> current;
    ServiceClient* service = &first;
    while (true) {
        if (follow) service->follow();
        print(barReading(*service));
        if (!follow) return;
        while (service->nextChange()) print(barReading(*service));
        BarReading away;
        away.reason = "AvraneBar quit";
        print(away);
        for (current.reset(); !current; current = ServiceClient::find(interruptFd)) {
            pauseFor(std::chrono::seconds(2), interruptFd);
        }
        service = current.get();
    }
}

// The commands through the running application, printing what they print on the dongle.
void runThroughService(const Invocation& inv, const Environment& env, ServiceClient& service, std::ostream& out) {
    switch (inv.command) {
        case Command::status: {
            if (inv.waybar) {
                waybarThroughService(service, out, inv.follow, env.interruptFd);
                return;
            }
            const auto client = relayedClient(service, reachable(service));
            const StatusReport report = readStatus(*client);
            out << (inv.json ? statusJson(report).dump(jsonIndent) + "\n" : statusText(report));
            return;
        }
        case Command::get: {
            // What the application already shows: no request on the line.
            const ServiceState state = reachable(service);
            const auto word = state.settings.find(inv.setting->name);
            if (word == state.settings.end()) {
                throw ServiceError("not-reported", "the headset did not report " + std::string(inv.setting->name));
            }
            // Only words the setting's own `get` prints: the application sends nothing else.
            const std::optional<SettingValue> value = inv.setting->word(word->second);
            if (!value) {
                throw ServiceError("untrusted", "AvraneBar reported " + std::string(inv.setting->name) + " as \"" +
                                                    word->second + "\", which is not a value of it");
            }
            printSetting(out, *inv.setting, *value, inv.json);
            return;
        }
        case Command::set: service.set(inv.setting->name, inv.value); return;
        case Command::rawGet: out << hexDump(service.rawGet(inv.eventID)) << "\n"; return;
        case Command::rawSet: service.rawSet(inv.eventID, inv.payload); return;
        case Command::watch:
            watchThroughService(service, [&] { return connect(inv, env); }, out,
                                {.json = inv.json, .follow = inv.follow, .interruptFd = env.interruptFd});
            return;
        case Command::help:
        case Command::version:
        case Command::list: return;
    }
}

void runCommand(const Invocation& inv, const Environment& env, std::ostream& out) {
    if (inv.command == Command::list) {
        const DongleList list = findAllDongles(env.roots);
        out << (inv.json ? dongleListJson(list).dump(jsonIndent) + "\n" : dongleListText(list));
        return;
    }

    if (inv.command == Command::watch) {
        watch([&] { return connect(inv, env); }, out,
              {.json = inv.json, .follow = inv.follow, .interruptFd = env.interruptFd});
        return;
    }
    const auto client = connect(inv, env);
    switch (inv.command) {
        case Command::status: {
            const StatusReport report = readStatus(*client);
            out << (inv.json ? statusJson(report).dump(jsonIndent) + "\n" : statusText(report));
            break;
        }
        case Command::get: {
            HeadsetState state;
            inv.setting->read(*client, state);
            // A typed read that succeeded always fills what show looks at.
            printSetting(out, *inv.setting, inv.setting->show(state).value_or(SettingValue{}), inv.json);
            break;
        }
        case Command::set: writeOnTheDongle(*client, [&] { inv.write(*client); }); break;
        case Command::rawGet: out << hexDump(client->rawParam(inv.eventID)) << "\n"; break;
        case Command::rawSet: writeOnTheDongle(*client, [&] { client->setRawParam(inv.eventID, inv.payload); }); break;
        case Command::help:
        case Command::version:
        case Command::list:
        case Command::watch: break;
    }
}

}  // namespace

int runTool(std::span<const std::string> args, const Environment& env, std::ostream& out,
            std::ostream& err) {
    // Messages may carry device paths and words from the command line.
    const auto complain = [&](const std::string& message) { err << "avranectl: " << printable(message) << "\n"; };
    Invocation inv;
    try {
        inv = parseCommandLine(args);
    } catch (const UsageError& error) {
        complain(error.what());
        err << "(avranectl --help shows the usage)\n";
        return exitUsage;
    }

    try {
        if (inv.command == Command::help) {
            out << usageText() << std::flush;
        } else if (inv.command == Command::version) {
            out << "avranectl " << AVRANE_VERSION << "\n" << std::flush;
        } else if (const auto service = throughService(inv, env)) {
            runThroughService(inv, env, *service, out);
            out.flush();
        } else if (inv.waybar) {
            out << waybarJson(readForBar(inv, env)).dump() << "\n" << std::flush;
        } else {
            runCommand(inv, env, out);
            out.flush();
        }
        return exitSuccess;
    } catch (const Interrupted&) {
        return interruptedStatus(env.interruptFd);
    } catch (const WriteError& error) {
        complain(error.description());
    } catch (const ServiceGone& gone) {
        complain(std::string(gone.what()) + " (it held the dongle); run the command again, or watch with --follow");
    } catch (const UnconfirmedWrite& failure) {
        complain(failure.what());
        return exitUnconfirmed;
    } catch (const ServiceError& failure) {
        complain(failure.description());
        if (failure.kind() == "Unconfirmed") return exitUnconfirmed;
    } catch (const HeadsetClient::Failure& failure) {
        complain(failure.description());
    } catch (const SerialPort::Failure& failure) {
        complain(portFailureText(failure));
    } catch (const std::exception& error) {
        complain(error.what());
    }
    return exitLinkFailed;
}

}  // namespace avrane::ctl
