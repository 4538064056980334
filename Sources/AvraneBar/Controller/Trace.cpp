#include "AvraneBar/Controller/Trace.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace avrane {

Trace::Trace(Sink sink, std::optional<bool> enabled)
    : sink_(std::move(sink)), enabled_(enabled) {}

bool Trace::isOnFor(const char* value) { return value && std::strcmp(value, "1") == 0; }

bool Trace::isOnInEnvironment() {
    static const bool on = isOnFor(std::getenv(std::string(switchVariable).c_str()));
    return on;
}

bool Trace::isOn() const { return enabled_ ? *enabled_ : isOnInEnvironment(); }

std::string Trace::timestamp(TimePoint time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::seconds>(time));
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, length);
}

void Trace::notification(TimePoint now, const Packet& packet, bool suppressed) const {
    if (!isOn()) return;
    std::string line = timestamp(now) + "  NTFY " + std::string(caseName(packet.source)) + "->" +
                       std::string(caseName(packet.destination)) + "  " +
                       std::string(caseName(packet.eventID)) + "  [" + hexDump(packet.param) + "]";
    if (suppressed) line += "  (suppressed: our own write)";
    write(std::move(line));
}

void Trace::writeFailure(TimePoint now, const std::vector<EventID>& events,
                         std::string_view description) const {
    if (!isOn()) return;
    std::string line = timestamp(now) + "  WRITE FAILED [";
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i != 0) line += ", ";
        line += "AvraneKit.EventID." + std::string(caseName(events[i]));
    }
    line += "]  ";
    line += description;
    write(std::move(line));
}

void Trace::failure(TimePoint now, std::string_view what, std::string_view description) const {
    if (!isOn()) return;
    write(timestamp(now) + "  FAILED " + std::string(what) + "  " + std::string(description));
}

void Trace::write(std::string line) const {
    line += '\n';
    if (sink_) {
        sink_(line);
        return;
    }
    // One write per line, so lines from several threads never interleave.
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace avrane
