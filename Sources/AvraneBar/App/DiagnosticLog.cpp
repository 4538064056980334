#include "AvraneBar/App/DiagnosticLog.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "AvraneBar/Controller/Trace.h"
#include "AvraneKit/Support/EnumTable.h"

namespace avrane::diagnostics {
namespace {

using Kind = HeadsetSnapshot::Availability::Kind;

std::string format(const char* pattern, auto... values) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern, values...);
    text.pop_back();
    return text;
}

std::string frame(const Rect& r) { return format("%.0fx%.0f at %.0f,%.0f", r.width, r.height, r.x, r.y); }

}  // namespace

std::string snapshotSummary(const HeadsetSnapshot& s) {
    std::vector<std::string> parts;
    switch (s.availability.kind()) {
    case Kind::connected: parts.emplace_back("connected"); break;
    case Kind::noDongle: parts.push_back("no-dongle (" + s.availability.text() + ")"); break;
    case Kind::headsetUnreachable: parts.push_back("unreachable (" + s.availability.text() + ")"); break;
    }
    if (s.batteryPercent) parts.push_back("battery " + std::to_string(*s.batteryPercent) + "%");
    if (s.volume) parts.push_back("volume " + std::to_string(s.volume->level) + (s.volume->isMuted ? " muted" : ""));
    if (s.balance) parts.push_back(format("balance %+.1f", (s.balance->rawValue - 50) / 10.0));
    if (s.sidetone) parts.push_back("sidetone " + std::to_string(s.sidetone->level));
    if (s.micMuted) parts.push_back(std::string("mic ") + (*s.micMuted ? "muted" : "live"));
    if (s.ambient) {
        parts.push_back("anc " + std::string(caseName(s.ambient->mode)) + "/" + std::to_string(s.ambient->ambientLevel) +
                        (s.ambient->voiceFocus ? "/vf" : ""));
    }
    if (s.autoPowerOff) parts.push_back("apo " + std::to_string(rawValue(*s.autoPowerOff)));
    if (s.led) parts.push_back(std::string("led ") + (s.led->isOn ? "on" : "off"));

    std::string line;
    for (const std::string& part : parts) {
        if (!line.empty()) line += "  \u00B7  ";
        line += part;
    }
    return line;
}

std::string snapshotLine(TimePoint now, const HeadsetSnapshot& snapshot) {
    return Trace::timestamp(now) + "  " + snapshotSummary(snapshot) + "\n";
}

std::string layoutHeader(const Rect& panel, bool visible, const Rect& statusItem) {
    return "--- panel " + frame(panel) + ", visible=" + (visible ? "true" : "false") + ", statusItem " +
           frame(statusItem) + " ---\n";
}

std::string layoutLine(int depth, const std::string& className, const Rect& r, bool hidden, const ViewContent& content) {
    std::string line(static_cast<std::size_t>(2 * depth), ' ');
    line += className + "  " + frame(r);
    if (hidden) line += "  HIDDEN";
    if (const auto* text = std::get_if<TextContent>(&content)) {
        line += " \"" + text->text + "\"";
    } else if (const auto* control = std::get_if<ControlContent>(&content)) {
        line += std::string(" enabled=") + (control->enabled ? "true" : "false") + " value=" + shortestNumber(control->value);
    }
    return line + "\n";
}

std::string shortestNumber(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

}  // namespace avrane::diagnostics
