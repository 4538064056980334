#include "avranectl/CommandLine.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "AvraneKit/Settings/WritableItems.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane::ctl {
namespace {

constexpr std::string_view commandList = "list, status, get, set, watch, raw";
constexpr std::string_view optionList = "--port PATH, --direct, --json, --waybar, --follow, --help, --version";

std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string settingNames(bool writableOnly) {
    std::string names;
    for (const Setting& s : settingTable()) {
        if (writableOnly && !s.parse) continue;
        names += (names.empty() ? "" : ", ") + std::string(s.name);
    }
    return names;
}

const Setting& setting(std::string_view name) {
    const Setting* found = findSetting(name);
    if (!found) {
        throw UsageError("unknown setting " + inQuotes(name) + "; settings: " + settingNames(false));
    }
    return *found;
}

// One to two hex digits, with or without 0x.
std::optional<std::uint8_t> hexByte(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    unsigned value = 0;
    if (text.empty() || text.size() > 2) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::string eventIDList() {
    std::string list;
    for (const EventID id : allCases<EventID>()) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X ", rawValue(id));
        list += (list.empty() ? "" : ", ") + std::string(hex) + std::string(caseName(id));
    }
    return list;
}

// An event id in hex ("0x21", "21") or by name ("headphoneVolume").
EventID eventID(std::string_view text) {
    for (const EventID id : allCases<EventID>()) {
        if (caseName(id) == text) return id;
    }
    if (const auto raw = hexByte(text)) {
        if (const auto id = fromRaw<EventID>(*raw)) return *id;
    }
    throw UsageError("unknown event id " + inQuotes(text) +
                     "; accepted: one of these, in hex (0x21 or 21) or by name: " + eventIDList());
}

void expectOperands(const std::vector<std::string>& operands, std::size_t count,
                    std::string_view synopsis) {
    if (operands.size() < count) {
        throw UsageError("missing arguments; usage: avranectl " + std::string(synopsis));
    }
    if (operands.size() > count) {
        throw UsageError("unexpected argument " + inQuotes(operands[count]) +
                         "; usage: avranectl " + std::string(synopsis));
    }
}

}  // namespace

Invocation parseCommandLine(std::span<const std::string> args) {
    Invocation inv;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A dash before a number is a value (a balance of -2.5), and a dash alone a word.
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-' &&
                              !(std::isdigit(static_cast<unsigned char>(arg[1])) || arg[1] == '.');
        if (!isOption) {
            words.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            return Invocation{};
        } else if (arg == "--version") {
            inv.command = Command::version;
            return inv;
        } else if (arg == "--json") {
            inv.json = true;
        } else if (arg == "--waybar") {
            inv.waybar = true;
        } else if (arg == "--follow") {
            inv.follow = true;
        } else if (arg == "--direct") {
            inv.direct = true;
        } else if (arg == "--port" || arg.starts_with("--port=")) {
            std::string path;
            if (arg == "--port") {
                if (i + 1 == args.size()) throw UsageError("--port needs a device PATH");
                path = args[++i];
            } else {
                path = arg.substr(7);
            }
            if (path.empty()) throw UsageError("--port needs a device PATH");
            if (inv.port) throw UsageError("--port given twice; the tool talks to one device");
            inv.port = path;
        } else {
            throw UsageError("unknown option " + inQuotes(arg) + "; options: " + std::string(optionList));
        }
    }
    if (inv.json && inv.waybar) {
        throw UsageError("--json and --waybar exclude each other: --waybar is a JSON object already");
    }

    if (words.empty()) {
        throw UsageError("no command given; commands: " + std::string(commandList));
    }
    const std::string name = words.front();
    std::vector<std::string> operands(words.begin() + 1, words.end());
    if (name == "list") {
        inv.command = Command::list;
        expectOperands(operands, 0, "[--json] list");
    } else if (name == "status") {
        inv.command = Command::status;
        expectOperands(operands, 0, "[--port PATH] [--json | --waybar [--follow]] status");
    } else if (name == "watch") {
        inv.command = Command::watch;
        expectOperands(operands, 0, "[--port PATH] [--json] [--follow] watch");
    } else if (name == "get") {
        inv.command = Command::get;
        if (operands.empty()) {
            throw UsageError("get needs a SETTING; settings: " + settingNames(false));
        }
        expectOperands(operands, 1, "[--port PATH] [--json] get SETTING");
        inv.setting = &setting(operands[0]);
    } else if (name == "set") {
        inv.command = Command::set;
        if (operands.empty()) {
            throw UsageError("set needs a SETTING and a VALUE; settings: " + settingNames(true));
        }
        inv.setting = &setting(operands[0]);
        if (!inv.setting->parse) {
            throw UsageError(std::string(inv.setting->name) + " can only be read; settings that " +
                             "can be set: " + settingNames(true));
        }
        if (operands.size() == 1) {
            throw UsageError("set " + operands[0] + " needs a VALUE; accepted: " +
                             std::string(inv.setting->accepted));
        }
        expectOperands(operands, 2, "[--port PATH] set SETTING VALUE");
        auto write = inv.setting->parse(operands[1]);
        if (!write) {
            throw UsageError("invalid value " + inQuotes(operands[1]) + " for " + operands[0] +
                             "; accepted: " + std::string(inv.setting->accepted));
        }
        inv.value = operands[1];
        inv.write = *std::move(write);
    } else if (name == "raw") {
        const std::string_view synopsis = "[--port PATH] raw get EVENT_ID | raw set EVENT_ID BYTE...";
        if (operands.empty() || (operands[0] != "get" && operands[0] != "set")) {
            throw UsageError("raw takes get or set; usage: avranectl " + std::string(synopsis));
        }
        const bool isSet = operands[0] == "set";
        inv.command = isSet ? Command::rawSet : Command::rawGet;
        if (isSet) {
            if (operands.size() < 3) throw UsageError("missing arguments; usage: avranectl " + std::string(synopsis));
        } else {
            expectOperands(operands, 2, synopsis);
        }
        inv.eventID = eventID(operands[1]);
        for (std::size_t i = 2; i < operands.size(); ++i) {
            const auto byte = hexByte(operands[i]);
            if (!byte) {
                throw UsageError("invalid byte " + inQuotes(operands[i]) +
                                 "; accepted: 00 to FF in hex (0x0F or 0F)");
            }
            inv.payload.push_back(*byte);
        }
        // Only the writable settings, each with its record's length: nothing else is sent.
        if (isSet) {
            if (const auto refusal = rawWriteRefusal(inv.eventID, inv.payload)) throw UsageError(*refusal);
        }
    } else {
        throw UsageError("unknown command " + inQuotes(name) + "; commands: " + std::string(commandList));
    }

    if (inv.waybar && inv.command != Command::status) {
        throw UsageError("--waybar goes with status only");
    }
    if (inv.follow && inv.command != Command::watch && !(inv.command == Command::status && inv.waybar)) {
        throw UsageError("--follow goes with watch and with status --waybar only");
    }
    if (inv.port && inv.command == Command::list) {
        throw UsageError("--port goes with the commands that talk to a dongle; list shows every dongle plugged in");
    }
    if (inv.json && (inv.command == Command::set || inv.command == Command::rawGet ||
                     inv.command == Command::rawSet)) {
        throw UsageError("--json goes with list, status, get and watch");
    }
    return inv;
}

std::string usageText() {
    std::string text =
        "usage: avranectl [--json] list\n"
        "       avranectl [--port PATH] [--direct] [--json | --waybar [--follow]] status\n"
        "       avranectl [--port PATH] [--direct] [--json] get SETTING\n"
        "       avranectl [--port PATH] [--direct] set SETTING VALUE\n"
        "       avranectl [--port PATH] [--direct] [--json] [--follow] watch\n"
        "       avranectl [--port PATH] [--direct] raw get EVENT_ID\n"
        "       avranectl [--port PATH] [--direct] raw set EVENT_ID BYTE...\n"
        "       avranectl --help | --version\n"
        "\n"
        "Monitors and configures an AVRANE headset through its USB dongle (switch at PC).\n"
        "While AvraneBar runs it holds the dongle, and the commands go through it.\n"
        "\n"
        "Commands:\n"
        "  list    the dongles plugged in, in PC mode and in the other modes\n"
        "  status  model, firmware, battery and every setting\n"
        "  get     one setting, in the words set takes\n"
        "  set     change one setting\n"
        "  watch   one line per change on the headset, until interrupted\n"
        "  raw     read an item's payload, or write one to a setting\n"
        "\n"
        "Options:\n"
        "  --port PATH  the serial device to use; without it AVRANE_PORT, else the dongle\n"
        "               found on USB (never through AvraneBar)\n"
        "  --direct     open the dongle even while AvraneBar runs (which then holds it);\n"
        "               without it the commands go through a running AvraneBar\n"
        "  --json       JSON output (watch: one object per line)\n"
        "  --waybar     status as one object for waybar and similar bars; exits 0 unless\n"
        "               the object cannot be written\n"
        "  --follow     watch: when the dongle (or AvraneBar) goes away, wait for it and go\n"
        "               on; status --waybar: one object per change, for a continuous module\n"
        "\n"
        "Settings and their values:\n";
    for (const Setting& s : settingTable()) {
        std::string name(s.name);
        name.resize(16, ' ');
        text += "  " + name + std::string(s.accepted) + "\n";
    }
    text +=
        "\n"
        "EVENT_ID and BYTE are hex (0x21 or 21); EVENT_ID may also be a name (headphoneVolume).\n"
        "raw set writes only the settings, each with its payload's length in bytes:\n";
    std::string line;
    for (const WritableItem& w : writableItems()) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "0x%02X %s %zu", rawValue(w.item), std::string(caseName(w.item)).c_str(),
                      w.length);
        if (!line.empty() && line.size() + std::strlen(entry) + 2 > 86) {
            text += line + ",\n";
            line.clear();
        }
        line += (line.empty() ? "  " : ", ") + std::string(entry);
    }
    text += line + "\n";
    text +=
        "\n"
        "Exit status: 0 done, 1 the link to the headset failed or the output could not be\n"
        "written, 2 a usage error, 130 or 143 interrupted (SIGINT, SIGTERM).\n";
    return text;
}

}  // namespace avrane::ctl
