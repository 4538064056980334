#include "Soak/FaultPlan.h"

#include <algorithm>
#include <cstdio>

namespace avrane::soak {
namespace {

// The items the application reads, of which some fall silent or come back garbled.
constexpr EventID readItems[] = {
    EventID::batteryInfo,          EventID::allFunctionSettingsPart1, EventID::allFunctionSettingsPart2,
    EventID::allFunctionSettingsPart3, EventID::modelInfo,            EventID::fwVersion,
    EventID::headphoneVolume,      EventID::gameChatMixBalance,       EventID::sidetoneVolume,
    EventID::micVolume,            EventID::ambSetting,               EventID::ncToggleSetting,
    EventID::ncStartupMode,        EventID::btStatus,                 EventID::btSoundQuality,
    EventID::btStartupMode,        EventID::autoPowerOffSetting,      EventID::ledSetting};

}  // namespace

std::string_view caseName(FaultKind kind) {
    switch (kind) {
    case FaultKind::unplugged: return "unplugged";
    case FaultKind::headsetOff: return "headsetOff";
    case FaultKind::silentItems: return "silentItems";
    case FaultKind::malformedReplies: return "malformedReplies";
    case FaultKind::noise: return "noise";
    case FaultKind::lateReplies: return "lateReplies";
    case FaultKind::delayedReplies: return "delayedReplies";
    case FaultKind::bulkUnsupported: return "bulkUnsupported";
    case FaultKind::byteAtATime: return "byteAtATime";
    }
    return "?";
}

std::chrono::milliseconds Episode::faultyFor() const {
    std::chrono::milliseconds last{0};
    for (const Fault& fault : faults) last = std::max(last, fault.endsAfter());
    return last;
}

std::string Episode::description() const {
    std::string text;
    for (const Fault& fault : faults) {
        char line[64];
        std::snprintf(line, sizeof line, "%s%s %.1f s", text.empty() ? "" : " + ", std::string(caseName(fault.kind)).c_str(),
                      double(fault.lasts.count()) / 1000);
        text += line;
    }
    return text;
}

Episode FaultPlan::next() {
    Episode episode;
    const auto pick = [&] { return allFaultKinds[between(0, int(std::size(allFaultKinds)) - 1)]; };
    episode.faults.push_back(fault(pick()));
    // Now and then a second one, overlapping the first.
    if (between(0, 2) == 0) {
        FaultKind second = pick();
        while (second == episode.faults.front().kind) second = pick();
        Fault overlapping = fault(second);
        overlapping.startsAfter = std::chrono::milliseconds(between(0, int(episode.faults.front().lasts.count())));
        episode.faults.push_back(overlapping);
    }
    // Longer than the two seconds the application has to catch up, so that a slow catch-up is
    // measured rather than cut short by the next fault.
    episode.calm = std::chrono::milliseconds(between(5000, 9000));
    return episode;
}

Fault FaultPlan::fault(FaultKind kind) {
    Fault f;
    f.kind = kind;
    f.lasts = std::chrono::milliseconds(between(2000, 6000));
    switch (kind) {
    case FaultKind::silentItems:
        for (int n = between(1, 3); int(f.items.size()) < n;) f.items.insert(readItems[between(0, int(std::size(readItems)) - 1)]);
        break;
    case FaultKind::malformedReplies:
        for (int n = between(1, 2); int(f.malformed.size()) < n;) {
            Bytes garbage(std::size_t(between(0, 3)));
            for (auto& byte : garbage) byte = std::uint8_t(between(0, 255));
            f.malformed[readItems[between(0, int(std::size(readItems)) - 1)]] = garbage;
        }
        break;
    case FaultKind::delayedReplies: f.seconds = double(between(100, 1000)) / 1000; break;
    case FaultKind::byteAtATime: f.seconds = double(between(1, 4)) / 1000; break;
    default: break;
    }
    return f;
}

void begin(sim::Simulator& simulator, const Fault& fault) {
    switch (fault.kind) {
    case FaultKind::unplugged: simulator.hangUp(); return;
    case FaultKind::headsetOff: simulator.updateFaults([](sim::Faults& f) { f.headsetOff = true; }); return;
    case FaultKind::silentItems:
        simulator.updateFaults([&](sim::Faults& f) { f.silentItems.insert(fault.items.begin(), fault.items.end()); });
        return;
    case FaultKind::malformedReplies:
        simulator.updateFaults([&](sim::Faults& f) {
            for (const auto& [item, param] : fault.malformed) f.malformedReplies[item] = param;
        });
        return;
    case FaultKind::noise:
        // Bytes that cannot start a frame, as the simulator's "noise on" sends.
        simulator.updateFaults([](sim::Faults& f) { f.noise = {0x00, 0x55, 0xAA, 0xFF}; });
        return;
    case FaultKind::lateReplies: simulator.updateFaults([](sim::Faults& f) { f.lateReplyFirst = true; }); return;
    case FaultKind::delayedReplies:
        simulator.updateFaults([&](sim::Faults& f) { f.replyDelay = fault.seconds; });
        return;
    case FaultKind::bulkUnsupported: simulator.updateFaults([](sim::Faults& f) { f.bulkUnsupported = true; }); return;
    case FaultKind::byteAtATime:
        simulator.updateFaults([&](sim::Faults& f) {
            f.byteAtATime = true;
            f.byteGap = fault.seconds;
        });
        return;
    }
}

void end(sim::Simulator& simulator, const Fault& fault) {
    const sim::Faults none;
    switch (fault.kind) {
    case FaultKind::unplugged: simulator.replug(); return;
    case FaultKind::headsetOff: simulator.updateFaults([](sim::Faults& f) { f.headsetOff = false; }); return;
    case FaultKind::silentItems:
        simulator.updateFaults([&](sim::Faults& f) {
            for (const EventID item : fault.items) f.silentItems.erase(item);
        });
        return;
    case FaultKind::malformedReplies:
        simulator.updateFaults([&](sim::Faults& f) {
            for (const auto& entry : fault.malformed) f.malformedReplies.erase(entry.first);
        });
        return;
    case FaultKind::noise: simulator.updateFaults([&](sim::Faults& f) { f.noise = none.noise; }); return;
    case FaultKind::lateReplies: simulator.updateFaults([](sim::Faults& f) { f.lateReplyFirst = false; }); return;
    case FaultKind::delayedReplies: simulator.updateFaults([&](sim::Faults& f) { f.replyDelay = none.replyDelay; }); return;
    case FaultKind::bulkUnsupported: simulator.updateFaults([](sim::Faults& f) { f.bulkUnsupported = false; }); return;
    case FaultKind::byteAtATime:
        simulator.updateFaults([&](sim::Faults& f) {
            f.byteAtATime = none.byteAtATime;
            f.byteGap = none.byteGap;
        });
        return;
    }
}

}  // namespace avrane::soak
