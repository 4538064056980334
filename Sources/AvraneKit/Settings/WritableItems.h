#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "AvraneKit/Protocol/EventID.h"
#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// An item the headset takes a `set` for, with the length of its payload.
struct WritableItem {
    EventID item;
    std::size_t length;
    // Whether the payload decodes as the item's record: a mode outside its table, say, does not.
    bool (*decodes)(ByteView param);
};

// The settings records of the audio, power, indicator and Bluetooth items that have an
// encoder and a `set` frame. Everything else (the firmware update, the dongle's boot and
// host-select items, the bulk and device-information reads, the microphone) is never written
// raw.
std::span<const WritableItem> writableItems();

// Why raw payload bytes must not be written to `item`, or nothing when they may: the item
// must be a writable one and the bytes its record's length and decodable. The bytes stay raw
// otherwise (a volume level above the panel's 30 goes out as given).
std::optional<std::string> rawWriteRefusal(EventID item, ByteView param);

}  // namespace avrane
