#include "AvraneSim/CommandShell.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "AvraneKit/Support/EnumTable.h"

namespace avrane::sim {
namespace {

using Arguments = CommandShell::Arguments;

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

void expectCount(const Arguments& args, std::size_t least, std::size_t most) {
    if (args.size() < least || args.size() > most) {
        throw std::invalid_argument("wrong number of arguments");
    }
}

long number(const std::string& text, long least, long most) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < least ||
        value > most) {
        throw std::invalid_argument("expected a number from " + std::to_string(least) + " to " +
                                    std::to_string(most) + ", got \"" + text + "\"");
    }
    return value;
}

std::uint8_t byteNumber(const Arguments& args, long least, long most) {
    expectCount(args, 1, 1);
    return static_cast<std::uint8_t>(number(args[0], least, most));
}

double seconds(const std::string& text) {
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size() && std::isfinite(value) && value >= 0) return value;
    } catch (const std::exception&) {
    }
    throw std::invalid_argument("expected seconds (0 or more), got \"" + text + "\"");
}

bool onOff(const Arguments& args) {
    expectCount(args, 1, 1);
    if (args[0] == "on") return true;
    if (args[0] == "off") return false;
    throw std::invalid_argument("expected on or off, got \"" + args[0] + "\"");
}

// An enumeration case by its name as the program prints it.
template <class E>
E named(const Arguments& args) {
    expectCount(args, 1, 1);
    for (const E value : allCases<E>()) {
        if (caseName(value) == args[0]) return value;
    }
    std::string names;
    for (const E value : allCases<E>()) names += (names.empty() ? "" : ", ") + std::string(caseName(value));
    throw std::invalid_argument("expected one of " + names + ", got \"" + args[0] + "\"");
}

// An item by its event id name (batteryInfo) or raw value (0x04).
EventID item(const std::string& text) {
    for (const EventID id : allCases<EventID>()) {
        if (caseName(id) == text) return id;
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned value = 0;
        const auto [end, error] =
            std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (error == std::errc{} && end == text.data() + text.size() && value <= 0xFF) {
            if (const auto id = fromRaw<EventID>(static_cast<std::uint8_t>(value))) return *id;
        }
    }
    throw std::invalid_argument("no such item \"" + text + "\" (an event id name or 0xNN)");
}

Bytes hexBytes(Arguments::const_iterator first, Arguments::const_iterator last) {
    Bytes bytes;
    for (auto it = first; it != last; ++it) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(it->data(), it->data() + it->size(), value, 16);
        if (error != std::errc{} || end != it->data() + it->size() || value > 0xFF) {
            throw std::invalid_argument("expected hex bytes like 00 A5, got \"" + *it + "\"");
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

std::string describe(const HeadsetModel& m) {
    std::ostringstream out;
    const auto flag = [](bool on) { return on ? "on" : "off"; };
    out << "model " << m.modelInfo.deviceName() << " (id " << int(m.modelInfo.modelID)
        << "), firmware " << m.firmware.headset.text() << " / " << m.firmware.dongle.text() << "\n"
        << "battery "
        << (m.battery.percent ? std::to_string(*m.battery.percent) + " %" : std::string("unknown"))
        << (m.battery.isCharging() ? ", charging" : "") << "\n"
        << "volume " << int(m.headphoneVolume.level) << (m.headphoneVolume.isMuted ? " (muted)" : "")
        << ", balance " << int(m.gameChatBalance.rawValue) << ", sidetone "
        << int(m.sidetoneVolume.level) << ", mic " << int(m.microphoneVolume.level)
        << (m.microphoneVolume.isMuted ? " (muted)" : "") << "\n"
        << "noise cancelling " << caseName(m.ambient.mode) << ", ambient level "
        << int(m.ambient.ambientLevel) << ", voice focus " << flag(m.ambient.voiceFocus) << "\n"
        << "auto power-off " << caseName(m.autoPowerOff) << ", light " << flag(m.led.isOn)
        << ", bluetooth " << (m.bluetooth.power ? caseName(*m.bluetooth.power) : "?") << " / "
        << (m.bluetooth.link ? caseName(*m.bluetooth.link) : "?");
    return out.str();
}

std::string describe(const Faults& f) {
    std::ostringstream out;
    out << "faults:";
    if (f.headsetOff) out << " headset-off";
    for (const EventID id : f.silentItems) out << " silent:" << caseName(id);
    for (const auto& [id, param] : f.malformedReplies) {
        out << " malformed:" << caseName(id) << "[" << hexDump(param) << "]";
    }
    if (f.bulkUnsupported) out << " no-bulk";
    if (f.replyDelay > 0) out << " delay:" << f.replyDelay << "s";
    if (f.lateReplyFirst) out << " late";
    if (f.ntfyActiveFirst) out << " active-first";
    if (f.replyAsNtfy) out << " reply-ntfy";
    if (f.announceAsNtfyActive) out << " announce:ntfyActive";
    if (!f.noise.empty()) out << " noise[" << hexDump(f.noise) << "]";
    if (f.byteAtATime) out << " split:" << f.byteGap * 1000 << "ms";
    if (f == Faults{}) out << " none";
    return out.str();
}

}  // namespace

CommandShell::CommandShell(Simulator& simulator, Output output)
    : simulator_(simulator), output_(std::move(output)) {
    addBuiltIns();
}

void CommandShell::add(Command command) {
    const auto same = std::find_if(commands_.begin(), commands_.end(),
                                   [&](const Command& c) { return c.name == command.name; });
    if (same != commands_.end()) {
        *same = std::move(command);
    } else {
        commands_.push_back(std::move(command));
    }
}

bool CommandShell::execute(std::string_view line) {
    auto words = split(line);
    if (words.empty() || words[0].front() == '#') return true;
    const auto command = std::find_if(commands_.begin(), commands_.end(),
                                      [&](const Command& c) { return c.name == words[0]; });
    if (command == commands_.end()) {
        print("unknown command \"" + words[0] + "\"; type help for the list");
        return true;
    }
    const Arguments args(words.begin() + 1, words.end());
    try {
        command->run(args);
    } catch (const std::invalid_argument& error) {
        print(std::string("error: ") + error.what() + " (usage: " + command->name +
              (command->arguments.empty() ? "" : " " + command->arguments) + ")");
    } catch (const std::exception& error) {
        print(std::string("error: ") + error.what());
    }
    return !std::exchange(quitRequested_, false);
}

std::string CommandShell::helpText() const {
    std::size_t width = 0;
    for (const auto& c : commands_) width = std::max(width, c.name.size() + 1 + c.arguments.size());
    std::string text;
    for (const auto& c : commands_) {
        std::string head = c.name + (c.arguments.empty() ? "" : " " + c.arguments);
        head.resize(width, ' ');
        text += "  " + head + "  " + c.summary + "\n";
    }
    return text;
}

void CommandShell::addBuiltIns() {
    Simulator& sim = simulator_;
    // A change made on the headset itself: edit the model and announce the item.
    const auto headset = [&sim](EventID id, std::function<void(HeadsetModel&)> edit) {
        sim.change(id, edit);
    };
    const auto fault = [&sim](std::function<void(Faults&)> edit) { sim.updateFaults(edit); };

    add({"help", "", "list the commands", [this](const Arguments&) {
             print("Headset changes are announced to the program as notifications.");
             print(helpText());
         }});
    add({"show", "", "print the headset's state and the active faults", [this, &sim](const Arguments&) {
             print(describe(sim.model()));
             print(describe(sim.faults()));
             print(sim.isPluggedIn() ? "plugged in at " + sim.slavePath() : "unplugged");
         }});

    add({"battery", "<0-100>", "battery level in percent", [=](const Arguments& a) {
             const auto level = byteNumber(a, 0, 100);
             headset(EventID::batteryInfo, [=](HeadsetModel& m) { m.battery.percent = level; });
         }});
    add({"charging", "on|off", "charger plugged in or not", [=](const Arguments& a) {
             const bool on = onOff(a);
             headset(EventID::batteryInfo, [=](HeadsetModel& m) {
                 m.battery.statusCode = rawValue(on ? BatteryInfo::Status::charging
                                                    : BatteryInfo::Status::discharging);
             });
         }});
    add({"volume", "<0-30>", "headphone volume step", [=](const Arguments& a) {
             const auto level = byteNumber(a, 0, 30);
             headset(EventID::headphoneVolume, [=](HeadsetModel& m) {
                 m.headphoneVolume.level = level;
                 m.headphoneVolume.reportedPercent = percentOfSteps(level, 30);
             });
         }});
    add({"mute", "on|off", "headphones muted", [=](const Arguments& a) {
             const bool on = onOff(a);
             headset(EventID::headphoneVolume, [=](HeadsetModel& m) { m.headphoneVolume.isMuted = on; });
         }});
    add({"mic", "<0-30>", "microphone volume step", [=](const Arguments& a) {
             const auto level = byteNumber(a, 0, 30);
             headset(EventID::micVolume, [=](HeadsetModel& m) {
                 m.microphoneVolume.level = level;
                 m.microphoneVolume.reportedPercent = percentOfSteps(level, 30);
             });
         }});
    add({"micmute", "on|off", "microphone muted (the mute button)", [=](const Arguments& a) {
             const bool on = onOff(a);
             headset(EventID::micVolume, [=](HeadsetModel& m) { m.microphoneVolume.isMuted = on; });
         }});
    add({"balance", "<0-100>", "game/chat balance, 50 at the centre", [=](const Arguments& a) {
             const auto value = byteNumber(a, 0, 100);
             headset(EventID::gameChatMixBalance,
                     [=](HeadsetModel& m) { m.gameChatBalance = GameChatBalance(value); });
         }});
    add({"sidetone", "<0-10>", "sidetone step", [=](const Arguments& a) {
             const auto level = byteNumber(a, 0, 10);
             headset(EventID::sidetoneVolume, [=](HeadsetModel& m) {
                 m.sidetoneVolume.level = level;
                 m.sidetoneVolume.reportedPercent = percentOfSteps(level, 10);
             });
         }});
    add({"anc", "off|noiseCancelling|ambientSound", "the noise-cancelling button",
         [=](const Arguments& a) {
             const auto mode = named<NoiseCancellingMode>(a);
             headset(EventID::ambSetting, [=](HeadsetModel& m) { m.ambient.mode = mode; });
         }});
    add({"ambient", "<1-20>", "ambient sound level", [=](const Arguments& a) {
             const auto level = byteNumber(a, 1, 20);
             headset(EventID::ambSetting, [=](HeadsetModel& m) {
                 m.ambient.ambientLevel = level;
                 m.ambient.reportedPercent = percentOfSteps(level, 20);
             });
         }});
    add({"focus", "on|off", "voice focus of the ambient sound", [=](const Arguments& a) {
             const bool on = onOff(a);
             headset(EventID::ambSetting, [=](HeadsetModel& m) { m.ambient.voiceFocus = on; });
         }});
    add({"poweroff", "off|after5Minutes|...|after180Minutes", "auto power-off delay",
         [=](const Arguments& a) {
             const auto value = named<AutoPowerOff>(a);
             headset(EventID::autoPowerOffSetting, [=](HeadsetModel& m) { m.autoPowerOff = value; });
         }});
    add({"led", "on|off", "indicator light", [=](const Arguments& a) {
             const bool on = onOff(a);
             headset(EventID::ledSetting, [=](HeadsetModel& m) { m.led.isOn = on; });
         }});
    add({"bt", "on|off", "the headset's own Bluetooth radio", [=](const Arguments& a) {
             const auto power = onOff(a) ? BluetoothStatus::Power::on : BluetoothStatus::Power::off;
             headset(EventID::btStatus, [=](HeadsetModel& m) { m.bluetooth.power = power; });
         }});
    add({"btlink", "unconnected|connected|pairing", "the headset's Bluetooth link",
         [=](const Arguments& a) {
             const auto link = named<BluetoothStatus::Link>(a);
             headset(EventID::btStatus, [=](HeadsetModel& m) { m.bluetooth.link = link; });
         }});
    add({"model", "<0-255>", "headset model id (0 = H9, 1 = H7)", [=](const Arguments& a) {
             const auto id = byteNumber(a, 0, 255);
             headset(EventID::modelInfo, [=](HeadsetModel& m) { m.modelInfo.modelID = id; });
         }});
    add({"notify", "<item>", "announce an item's current value", [&sim](const Arguments& a) {
             expectCount(a, 1, 1);
             sim.announce(item(a[0]));
         }});

    add({"headset", "on|off", "fault: off means nothing addressed to the headset is answered",
         [=](const Arguments& a) {
             const bool on = onOff(a);
             fault([=](Faults& f) { f.headsetOff = !on; });
         }});
    add({"silent", "<item>...|none", "fault: no reply for these items", [=](const Arguments& a) {
             if (a.size() == 1 && a[0] == "none") return fault([](Faults& f) { f.silentItems.clear(); });
             expectCount(a, 1, 64);
             std::set<EventID> items;
             for (const auto& name : a) items.insert(item(name));
             fault([=](Faults& f) { f.silentItems.insert(items.begin(), items.end()); });
         }});
    add({"malformed", "<item> [hex...]|none",
         "fault: replies for the item carry these bytes (none given: empty)", [=](const Arguments& a) {
             if (a.size() == 1 && a[0] == "none") {
                 return fault([](Faults& f) { f.malformedReplies.clear(); });
             }
             expectCount(a, 1, 64);
             const EventID id = item(a[0]);
             const Bytes param = hexBytes(a.begin() + 1, a.end());
             fault([=](Faults& f) { f.malformedReplies[id] = param; });
         }});
    add({"bulk", "on|off", "fault: off means the bulk reads are not supported", [=](const Arguments& a) {
             const bool on = onOff(a);
             fault([=](Faults& f) { f.bulkUnsupported = !on; });
         }});
    add({"delay", "<seconds>", "fault: delay before each reply", [=](const Arguments& a) {
             expectCount(a, 1, 1);
             const double value = seconds(a[0]);
             fault([=](Faults& f) { f.replyDelay = value; });
         }});
    add({"late", "on|off", "fault: a late reply to an older transaction before each reply",
         [=](const Arguments& a) {
             const bool on = onOff(a);
             fault([=](Faults& f) { f.lateReplyFirst = on; });
         }});
    add({"active-first", "on|off", "fault: a ntfyActive with the request's ids before each reply",
         [=](const Arguments& a) {
             const bool on = onOff(a);
             fault([=](Faults& f) { f.ntfyActiveFirst = on; });
         }});
    add({"reply-ntfy", "on|off", "fault: replies sent as ntfy instead of ret", [=](const Arguments& a) {
             const bool on = onOff(a);
             fault([=](Faults& f) { f.replyAsNtfy = on; });
         }});
    add({"announce", "ntfy|ntfyActive", "event type of the headset's own announcements",
         [=](const Arguments& a) {
             expectCount(a, 1, 1);
             if (a[0] != "ntfy" && a[0] != "ntfyActive") {
                 throw std::invalid_argument("expected ntfy or ntfyActive");
             }
             const bool active = a[0] == "ntfyActive";
             fault([=](Faults& f) { f.announceAsNtfyActive = active; });
         }});
    add({"noise", "on|off|<hex...>", "fault: bytes sent before every frame", [=](const Arguments& a) {
             expectCount(a, 1, 64);
             Bytes noise;
             if (a.size() == 1 && a[0] == "on") {
                 noise = {0x00, 0x55, 0xAA, 0xFF};  // none of them can start a frame
             } else if (!(a.size() == 1 && a[0] == "off")) {
                 noise = hexBytes(a.begin(), a.end());
             }
             fault([=](Faults& f) { f.noise = noise; });
         }});
    add({"split", "on|off [gap-ms]", "fault: frames written one byte at a time", [=](const Arguments& a) {
             expectCount(a, 1, 2);
             const bool on = onOff({a[0]});
             const double gap = a.size() == 2 ? seconds(a[1]) / 1000.0 : 0.002;
             fault([=](Faults& f) {
                 f.byteAtATime = on;
                 f.byteGap = gap;
             });
         }});
    add({"clear", "", "remove every fault", [=](const Arguments& a) {
             expectCount(a, 0, 0);
             fault([](Faults& f) { f = Faults{}; });
         }});

    add({"trace", "on|off", "print each request received", [this, &sim](const Arguments& a) {
             if (!onOff(a)) return sim.setRequestObserver(nullptr);
             sim.setRequestObserver([output = output_](const ReceivedRequest& r) {
                 output("<- " + std::string(caseName(r.packet.eventType)) + " " +
                        std::string(caseName(r.packet.eventID)) + " tid " +
                        std::to_string(r.packet.transactionID) +
                        (r.packet.param.empty() ? "" : " [" + hexDump(r.packet.param) + "]"));
             });
         }});
    add({"unplug", "", "pull the dongle out (closes the line)", [this, &sim](const Arguments&) {
             sim.hangUp();
             print("unplugged");
         }});
    add({"replug", "", "plug the dongle back in (a new device path)", [this, &sim](const Arguments&) {
             sim.replug();
             print("plugged in at " + sim.slavePath() +
                   (sim.linkPath().empty() ? "" : " (link " + sim.linkPath().string() + ")"));
         }});
    add({"quit", "", "stop the simulator", [this](const Arguments&) { quitRequested_ = true; }});
}

}  // namespace avrane::sim
