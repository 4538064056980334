#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Support/Bytes.h"
#include "AvraneSim/Simulator.h"

namespace avrane::soak {

// What goes wrong with the headset or its line during a soak run.
enum class FaultKind : std::uint8_t {
    unplugged,        // the dongle pulled out, then plugged in again (a new device behind the link)
    headsetOff,       // nothing addressed to the headset is answered
    silentItems,      // no reply for some items
    malformedReplies, // replies for some items carry other bytes
    noise,            // bytes that cannot start a frame before every frame
    lateReplies,      // a reply to an older transaction before each reply
    delayedReplies,   // each reply up to a second late
    bulkUnsupported,  // the three bulk reads answered with nothing
    byteAtATime,      // every frame written one byte at a time
};

inline constexpr FaultKind allFaultKinds[] = {
    FaultKind::unplugged,   FaultKind::headsetOff,     FaultKind::silentItems,
    FaultKind::malformedReplies, FaultKind::noise,     FaultKind::lateReplies,
    FaultKind::delayedReplies, FaultKind::bulkUnsupported, FaultKind::byteAtATime};

std::string_view caseName(FaultKind kind);

// One fault with its particulars, for some seconds of an episode.
struct Fault {
    FaultKind kind{};
    std::chrono::milliseconds startsAfter{0};  // from the episode's start
    std::chrono::milliseconds lasts{0};
    std::set<EventID> items;             // silentItems
    std::map<EventID, Bytes> malformed;  // malformedReplies
    double seconds = 0;                  // delayedReplies: the delay; byteAtATime: the gap

    std::chrono::milliseconds endsAfter() const { return startsAfter + lasts; }
};

// One or two faults, then a calm in which the application must catch up.
struct Episode {
    std::vector<Fault> faults;
    std::chrono::milliseconds calm{0};

    std::chrono::milliseconds faultyFor() const;  // until the last fault ends
    std::string description() const;              // "headsetOff 3.2 s + noise 2.0 s"
};

// A reproducible sequence of episodes: the same seed gives the same run of faults.
class FaultPlan {
public:
    explicit FaultPlan(unsigned seed) : random_(seed) {}
    Episode next();

private:
    Fault fault(FaultKind kind);
    int between(int least, int most) { return std::uniform_int_distribution<int>(least, most)(random_); }

    std::mt19937 random_;
};

// Turns a fault on in the simulator, or off again, leaving the other faults as they are.
void begin(sim::Simulator& simulator, const Fault& fault);
void end(sim::Simulator& simulator, const Fault& fault);

}  // namespace avrane::soak
