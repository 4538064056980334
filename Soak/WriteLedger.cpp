#include "Soak/WriteLedger.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "AvraneKit/Client/SettingTable.h"
#include "Soak/PublishedState.h"

namespace avrane::soak {
namespace {

const Setting& settingNamed(const std::string& name) {
    const Setting* setting = findSetting(name);
    if (!setting) throw std::invalid_argument("no setting named " + name);
    return *setting;
}

// The same value, however written: "2" and "2.0" are one balance.
bool sameWords(const std::string& a, const std::string& b) {
    if (a == b) return true;
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA);
    const double y = std::strtod(b.c_str(), &endB);
    return !a.empty() && !b.empty() && *endA == '\0' && *endB == '\0' && x == y;
}

// Whether `write` is what `call` asked the headset to store.
bool carries(const SetCall& call, const LineWrite& write) {
    const Setting& setting = settingNamed(call.setting);
    if (setting.item != write.item) return false;
    const auto words = wordsOfWrite(setting, write.param);
    return words && sameWords(*words, call.value);
}

std::string secondsText(Clock::duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(d).count());
    return text;
}

}  // namespace

WriteLedger::WriteLedger(std::map<EventID, int> ownerOfItem) : ownerOfItem_(std::move(ownerOfItem)) {}

void WriteLedger::recordCall(SetCall call) { calls_.push_back(std::move(call)); }

void WriteLedger::recordWrite(LineWrite write) { writes_.push_back(std::move(write)); }

std::vector<const SetCall*> WriteLedger::unsettled(int caller) const {
    std::vector<const SetCall*> open;
    for (const SetCall& call : calls_) {
        if (call.caller != caller) continue;
        // Everything before a confirmed call has run or never will; the call itself may yet
        // be repeated.
        if (call.outcome == SetCall::Outcome::confirmed) open.clear();
        open.push_back(&call);
    }
    return open;
}

bool WriteLedger::mayWrite(int caller, const std::string& setting, const std::string& value) const {
    const Setting& wanted = settingNamed(setting);
    for (const SetCall* earlier : unsettled(caller)) {
        const Setting& other = settingNamed(earlier->setting);
        if (other.item != wanted.item) continue;
        // Another field of the same record carries whatever the headset held when it was
        // read: it could carry this value too.
        if (other.name != wanted.name || sameWords(earlier->value, value)) return false;
    }
    return true;
}

WriteLedger::Tally WriteLedger::tally() const {
    // Each caller's calls in the order they started (a caller runs one at a time).
    std::map<int, std::vector<const SetCall*>> byCaller;
    for (const SetCall& call : calls_) byCaller[call.caller].push_back(&call);
    for (auto& [caller, calls] : byCaller) {
        std::sort(calls.begin(), calls.end(), [](const SetCall* a, const SetCall* b) { return a->start < b->start; });
    }

    Tally tally;
    std::map<const SetCall*, Clock::time_point> storedDuring;  // when last
    std::map<const SetCall*, Clock::time_point> storedLate;
    for (const LineWrite& write : writes_) {
        const auto owner = ownerOfItem_.find(write.item);
        if (owner == ownerOfItem_.end()) {
            ++tally.othersWrites[write.item];
            continue;
        }
        const auto& calls = byCaller[owner->second];
        // The last call started before the write arrived: the one running then, if it had not
        // ended yet.
        auto next = std::upper_bound(calls.begin(), calls.end(), write.arrival,
                                     [](Clock::time_point at, const SetCall* call) { return at < call->start; });
        if (next != calls.begin() && (*(next - 1))->end >= write.arrival && carries(**(next - 1), write)) {
            storedDuring[*(next - 1)] = write.arrival;
            continue;
        }
        const SetCall* earlier = nullptr;
        for (auto it = next; it != calls.begin() && !earlier;) {
            --it;
            if ((*it)->end < write.arrival && carries(**it, write)) earlier = *it;
        }
        if (!earlier) {
            tally.unexplained.push_back(write);
        } else if (earlier->outcome == SetCall::Outcome::confirmed) {
            ++tally.lateRepeats;
        } else if (!storedLate.contains(earlier)) {
            storedLate[earlier] = write.arrival;
        }
    }

    for (const SetCall& call : calls_) {
        ++tally.asked;
        const bool stored = storedDuring.contains(&call);
        const auto late = storedLate.find(&call);
        const auto storedAfter = [&] { return "the headset stored it " + secondsText(late->second - call.end) + " after"; };
        switch (call.outcome) {
        case SetCall::Outcome::confirmed:
            if (stored) ++tally.confirmed;
            else tally.lost.push_back({call, "confirmed, but the headset never stored it"});
            break;
        case SetCall::Outcome::failed:
            if (stored) tally.lost.push_back({call, "reported failed, but the headset stored it during the call"});
            else if (late != storedLate.end()) tally.lost.push_back({call, "reported failed, but " + storedAfter()});
            else ++tally.failed;
            break;
        case SetCall::Outcome::unconfirmed:
            if (late != storedLate.end()) {
                tally.lost.push_back({call, "reported unconfirmed, but " + storedAfter()});
            } else if (std::none_of(unplugs_.begin(), unplugs_.end(),
                                    [&](Clock::time_point at) { return at >= call.start && at <= call.end; })) {
                tally.lost.push_back({call, "reported unconfirmed, but the dongle stayed in during the call"});
            } else {
                tally.unconfirmed.push_back(call);
                tally.unconfirmedStored += stored;
            }
            break;
        case SetCall::Outcome::unanswered:
            tally.lost.push_back({call, stored || late != storedLate.end() ? "never answered; the headset stored it"
                                                                           : "never answered"});
            break;
        }
    }
    return tally;
}

}  // namespace avrane::soak
