#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AvraneBar/Controller/ControllerClock.h"
#include "AvraneKit/Protocol/Packet.h"

namespace avrane {

// The controller's diagnostic lines: each notification it sees, each write that failed, and
// the failures it otherwise goes on after. Off unless AVRANE_BAR_LOG is exactly "1".
class Trace {
public:
    // Takes one whole line, line feed included.
    using Sink = std::function<void(std::string_view line)>;

    static constexpr std::string_view switchVariable = "AVRANE_BAR_LOG";

    // Lines to standard error, one write each, when the environment switch is on (read the
    // first time a line could be written, and kept for the process).
    Trace() = default;
    // `sink` empty: standard error. `enabled` absent: the environment switch.
    explicit Trace(Sink sink, std::optional<bool> enabled = std::nullopt);

    // Whether a value of the switch turns diagnostics on ("1" and nothing else).
    static bool isOnFor(const char* value);
    // The switch as the process found it; read once.
    static bool isOnInEnvironment();
    bool isOn() const;

    // "<time>  NTFY <src>-><dst>  <event>  [<param hex>]", plus a note when suppressed.
    void notification(TimePoint now, const Packet& packet, bool suppressed) const;
    // "<time>  WRITE FAILED [AvraneKit.EventID.<case>, ...]  <description>".
    void writeFailure(TimePoint now, const std::vector<EventID>& events,
                      std::string_view description) const;
    // "<time>  FAILED <what>  <description>": a failure the controller goes on after
    // without showing it (a model read, a connect right after a plug-in, device events).
    void failure(TimePoint now, std::string_view what, std::string_view description) const;

    // ISO 8601 in UTC to the second: 2024-05-01T09:30:00Z.
    static std::string timestamp(TimePoint time);

private:
    void write(std::string line) const;

    Sink sink_;
    std::optional<bool> enabled_;
};

}  // namespace avrane
