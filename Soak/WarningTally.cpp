#include "Soak/WarningTally.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace avrane::soak {
namespace {

// "2026-12-06T13:36:19Z  " at the start of every diagnostic line.
bool isDiagnostic(std::string_view text) {
    static const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ  )");
    return std::regex_search(text.begin(), text.end(), stamp);
}

std::string diagnosticKind(std::string_view text) {
    std::string_view rest = text.substr(22);  // after the stamp and its two spaces
    for (const std::string_view kind : {"NTFY", "WRITE FAILED", "FAILED", "SETTING NOT SAVED"}) {
        if (rest.starts_with(kind)) return std::string(kind);
    }
    return "snapshot";
}

std::string masked(std::string_view text) {
    std::string key(text);
    std::replace_if(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }, '#');
    return key;
}

}  // namespace

void WarningTally::line(Clock::time_point when, std::string_view text) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.empty()) return;
    if (text.starts_with("--- panel ")) {
        layout_.assign(1, std::string(text));
        inLayout_ = true;
        return;
    }
    if (isDiagnostic(text)) {
        // The dump is written in one go; the next diagnostic line comes after it.
        inLayout_ = false;
        ++diagnostics_[diagnosticKind(text)];
        return;
    }
    if (inLayout_) {  // a widget, or the next line of a label's text
        layout_.emplace_back(text);
        return;
    }
    auto [it, first] = warnings_.try_emplace(masked(text));
    Seen& seen = it->second;
    if (first) {
        seen.warning.text = text;
        seen.order = warnings_.size();
    } else {
        seen.warning.shortestGap =
            std::min(seen.warning.shortestGap, std::chrono::duration_cast<std::chrono::milliseconds>(when - seen.last));
    }
    ++seen.warning.count;
    seen.last = when;
}

std::vector<WarningTally::Warning> WarningTally::warnings() const {
    std::vector<const Seen*> seen;
    for (const auto& entry : warnings_) seen.push_back(&entry.second);
    std::sort(seen.begin(), seen.end(), [](const Seen* a, const Seen* b) { return a->order < b->order; });
    std::vector<Warning> list;
    for (const Seen* s : seen) list.push_back(s->warning);
    return list;
}

std::vector<WarningTally::Warning> WarningTally::repeatedWithinAMinute() const {
    std::vector<Warning> list = warnings();
    std::erase_if(list, [](const Warning& w) { return w.shortestGap >= std::chrono::minutes(1); });
    return list;
}

int WarningTally::warningCount() const {
    int count = 0;
    for (const auto& entry : warnings_) count += entry.second.warning.count;
    return count;
}

}  // namespace avrane::soak
