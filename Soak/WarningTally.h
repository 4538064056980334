#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace avrane::soak {

// Sorts what the application writes on standard error, line by line: its diagnostic lines
// (each starts with a UTC time stamp), its layout dump (from its header up to the next
// diagnostic line: it is written in one go, and a label's text may span lines), and
// everything else, which are warnings (Qt's own, a sanitizer's). Warnings that differ only
// in their numbers count as the same warning.
class WarningTally {
public:
    using Clock = std::chrono::steady_clock;

    struct Warning {
        std::string text;  // as first seen
        int count = 0;
        // The shortest time between two of them; none for a warning seen once.
        std::chrono::milliseconds shortestGap = std::chrono::milliseconds::max();
    };

    void line(Clock::time_point when, std::string_view text);

    // In the order first seen.
    std::vector<Warning> warnings() const;
    // Those printed again within a minute.
    std::vector<Warning> repeatedWithinAMinute() const;
    int warningCount() const;
    // Diagnostic lines by their kind: the word after the time stamp ("NTFY", "FAILED", ...),
    // or "snapshot" for the snapshot lines.
    const std::map<std::string, int>& diagnostics() const { return diagnostics_; }
    // The layout dump's lines, in order; empty until the application wrote it.
    const std::vector<std::string>& layoutDump() const { return layout_; }

private:
    struct Seen {
        Warning warning;
        Clock::time_point last;
        std::size_t order = 0;
    };

    std::map<std::string, Seen> warnings_;  // by the text with its digits masked
    std::map<std::string, int> diagnostics_;
    std::vector<std::string> layout_;
    bool inLayout_ = false;
};

}  // namespace avrane::soak
