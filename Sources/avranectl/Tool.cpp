#include "avranectl/Tool.h"

#include <signal.h>
#include <unistd.h>

#include "AvraneKit/Client/HeadsetClient.h"
#include "avranectl/CommandLine.h"
#include "avranectl/DongleList.h"
#include "avranectl/FailureText.h"
#include "avranectl/Output.h"
#include "avranectl/StatusReport.h"
#include "avranectl/Watch.h"
#include "avranectl/WaybarStatus.h"

#ifndef AVRANE_VERSION
#define AVRANE_VERSION "unknown"
#endif

namespace avrane::ctl {
namespace {

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

void runCommand(const Invocation& inv, const Environment& env, std::ostream& out) {
    const int indent = 2;
    if (inv.command == Command::list) {
        const DongleList list = findAllDongles(env.roots);
        out << (inv.json ? dongleListJson(list).dump(indent) + "\n" : dongleListText(list));
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
            out << (inv.json ? statusJson(report).dump(indent) + "\n" : statusText(report));
            break;
        }
        case Command::get: {
            HeadsetState state;
            inv.setting->read(*client, state);
            // A typed read that succeeded always fills what show looks at.
            const SettingValue value = inv.setting->show(state).value_or(SettingValue{});
            if (inv.json) {
                out << Json::object()
                           .set("setting", inv.setting->name)
                           .set("value", value.isNumber ? Json(std::stod(value.text)) : Json(value.text))
                           .dump(indent)
                    << "\n";
            } else {
                out << value.text << "\n";
            }
            break;
        }
        case Command::set: inv.write(*client); break;
        case Command::rawGet: out << hexDump(client->rawParam(inv.eventID)) << "\n"; break;
        case Command::rawSet: client->setRawSetting(inv.eventID, RawByteSetting{inv.byte}); break;
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
