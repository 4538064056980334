#pragma once

#include <map>
#include <set>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Support/Bytes.h"

namespace avrane::sim {

// Misbehaviour of the simulated headset and line, each switchable while it runs. The
// default is a well-behaved headset.
struct Faults {
    // The headset is off or out of range: nothing addressed to it is answered (the dongle
    // still answers the items that live on it).
    bool headsetOff = false;
    // Requests for these items get no reply.
    std::set<EventID> silentItems;
    // Replies for these items carry this param instead of the item's value.
    std::map<EventID, Bytes> malformedReplies;
    // The three bulk reads are answered with an empty param, which decodes as nothing.
    bool bulkUnsupported = false;
    // Seconds before each reply leaves. Later frames queue behind it: the line stays in
    // order.
    double replyDelay = 0;
    // Each reply is preceded by a `ret` for the same item with the previous transaction id
    // and no payload, as a reply to an earlier attempt arriving late would be.
    bool lateReplyFirst = false;
    // Each reply is preceded by a `ntfyActive` with the same event and transaction ids.
    bool ntfyActiveFirst = false;
    // Replies go out as `ntfy` instead of `ret`.
    bool replyAsNtfy = false;
    // The headset announces its own changes with `ntfyActive` instead of `ntfy`.
    bool announceAsNtfyActive = false;
    // Sent before every frame. Use bytes that cannot start a frame (not 0x01 or 0x04) unless
    // the point is to see frames lost.
    Bytes noise;
    // Every frame is written one byte at a time, `byteGap` seconds apart.
    bool byteAtATime = false;
    double byteGap = 0.002;

    bool operator==(const Faults&) const = default;
};

}  // namespace avrane::sim
