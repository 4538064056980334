#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace avrane {

// The headset as the computer's own Bluetooth sees it: whether it is paired with this
// machine directly (for audio, besides the dongle) and connected right now. The name keeps
// the macOS original's; on Linux the answer comes from BlueZ.
struct MacBluetoothLink {
    // A device paired with this computer, as the Bluetooth service reports it.
    struct Device {
        std::optional<std::string> name;
        bool isConnected = false;
    };

    bool isPaired = false;
    bool isConnected = false;
    std::optional<std::string> name;

    bool operator==(const MacBluetoothLink&) const = default;

    // A paired device is the headset when its name contains this, in any letter case.
    static constexpr std::string_view headsetWord = "AVRANE";

    // The link as the system reports it now. Never fails: no Bluetooth service, no
    // application object, a slow or malformed answer all give the empty value. Blocks for
    // at most `callTimeoutMs`; safe on any thread once a QCoreApplication exists.
    static MacBluetoothLink current();
    static constexpr int callTimeoutMs = 1000;

    // The choice among the paired devices, in the system's order: the first matching one
    // that is connected, else the first matching one; the empty value when none matches.
    static MacBluetoothLink choose(const std::vector<Device>& pairedDevices);
    static bool isHeadsetName(std::string_view name);
};

}  // namespace avrane
