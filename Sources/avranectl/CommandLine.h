#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Client/SettingTable.h"

namespace avrane::ctl {

// A command line the tool cannot take; the message says what it accepts instead.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Command { help, version, list, status, get, set, watch, rawGet, rawSet };

// A command line, fully checked: a value that `set` would refuse is refused here, before
// anything is sent to the headset.
struct Invocation {
    Command command = Command::help;
    std::optional<std::string> port;  // --port
    bool json = false;
    bool waybar = false;
    bool follow = false;  // watch: wait for a dongle that went away, and go on; status --waybar: a line per change
    bool direct = false;  // the dongle's port even while the application runs
    const Setting* setting = nullptr;  // get, set
    std::string value;                 // set: the value as typed
    SettingWrite write;                // set: what it does
    EventID eventID = EventID::modelInfo;  // raw
    Bytes payload;                         // raw set, checked against the item's record
};

// `args` without the program name. Throws UsageError.
Invocation parseCommandLine(std::span<const std::string> args);

// The text of --help.
std::string usageText();

}  // namespace avrane::ctl
