#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace avrane {

// A USB identity the dongle can present, with the name the application shows for it.
struct DongleModel {
    std::int64_t vendorID = 0;
    std::int64_t productID = 0;
    std::string name;

    bool operator==(const DongleModel&) const = default;

    // The dongle with its slide switch at PC: the only mode with a serial control channel.
    static const DongleModel h9;
    // The same hardware in modes without one.
    static const DongleModel h9ConsoleMode;
    static const DongleModel h9OTAMode;
    // Stands for a device path forced through AVRANE_PORT; never found by discovery.
    static const DongleModel virtualPort;

    // Identities whose serial device carries the control protocol.
    static const std::vector<DongleModel> serialControlled;
    // Identities of the same hardware in a mode without it, for telling the user why
    // nothing can be driven.
    static const std::vector<DongleModel> otherKnownModes;
};

// The identities as data in one place. Inline definitions in one header keep their
// initialisation in this order wherever they are used.
inline const DongleModel DongleModel::h9{0x054C, 0x0E53, "AVRANE H9 / H7"};
inline const DongleModel DongleModel::h9ConsoleMode{0x054C, 0x0E4C,
                                                    "AVRANE H9 / H7 (console mode)"};
inline const DongleModel DongleModel::h9OTAMode{0x054C, 0x0E61, "AVRANE H9 / H7 (update mode)"};
inline const DongleModel DongleModel::virtualPort{0, 0, "virtual port"};

inline const std::vector<DongleModel> DongleModel::serialControlled{DongleModel::h9};
inline const std::vector<DongleModel> DongleModel::otherKnownModes{DongleModel::h9ConsoleMode,
                                                                   DongleModel::h9OTAMode};

}  // namespace avrane
