#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Support/Bytes.h"

namespace avrane::soak {

using Clock = std::chrono::steady_clock;

// One `avranectl set` as its caller saw it: from the moment the process was started to the
// moment it ended, with what it was told.
struct SetCall {
    // unconfirmed: the write went out, then the line failed before the answer came; the
    // headset may have taken it (avranectl's exit status 3).
    enum class Outcome { confirmed, failed, unconfirmed, unanswered };

    int caller = 0;
    std::string setting;  // as avranectl takes it: "volume"
    std::string value;    // in the words `get` prints: "20"
    Clock::time_point start, end;
    Outcome outcome = Outcome::unanswered;
    std::string message;  // what the tool printed on failure
};

// A `set` that the simulated headset stored, from its request log.
struct LineWrite {
    EventID item{};
    Bytes param;
    Clock::time_point arrival;
};

// The soak's account of user writes: every call of `avranectl set` against every value the
// headset stored, so that a write confirmed to its caller is known to be on the headset, one
// reported failed to be absent, and anything else to be lost.
//
// It rests on three rules the callers keep. Each caller owns its items: nobody else writes
// them. A caller makes one call at a time. And it picks its values with mayWrite, which
// refuses a value that an earlier call's write, still possibly on its way, would carry too.
// Then every stored write of an owned item either falls inside the one call of its owner
// that was running, with that call's value, or it is the late write of an earlier call,
// found by its value. "Still on its way" ends with the caller's next confirmed call: the
// application runs the writes of the bus one after the other, so once a later one has been
// confirmed, an earlier one has run or never will.
class WriteLedger {
public:
    struct Lost {
        SetCall call;
        std::string why;
    };
    struct Tally {
        int asked = 0, confirmed = 0, failed = 0;
        std::vector<Lost> lost;
        // Calls told that the headset may have taken their write, as it may: the dongle was
        // pulled out during the call, and nothing was stored after it. How many of them the
        // headset did take.
        std::vector<SetCall> unconfirmed;
        int unconfirmedStored = 0;
        // Writes stored again after a call that was confirmed: late, but what the caller
        // was told.
        int lateRepeats = 0;
        // Stored writes of owned items that no call asked for, with their items.
        std::vector<LineWrite> unexplained;
        // Stored writes of items that no caller owns (the panel's), by item.
        std::map<EventID, int> othersWrites;
    };

    explicit WriteLedger(std::map<EventID, int> ownerOfItem);

    void recordCall(SetCall call);
    void recordWrite(LineWrite write);
    // The dongle was pulled out: only then may a call be told that its write is unconfirmed.
    void recordUnplug(Clock::time_point at) { unplugs_.push_back(at); }

    // Whether `caller` may now write `value` to `setting` and have the outcome told apart
    // from every write of its own that may still come.
    bool mayWrite(int caller, const std::string& setting, const std::string& value) const;

    // The account so far; writes that arrive later can only add to what is lost.
    Tally tally() const;

private:
    // The calls of `caller` not yet settled by a later confirmed one.
    std::vector<const SetCall*> unsettled(int caller) const;

    std::map<EventID, int> ownerOfItem_;
    std::vector<SetCall> calls_;  // in the order they ended
    std::vector<LineWrite> writes_;
    std::vector<Clock::time_point> unplugs_;
};

}  // namespace avrane::soak
