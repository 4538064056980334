#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "AvraneKit/Discovery/DiscoveredDongle.h"
#include "AvraneKit/Discovery/DongleModel.h"

namespace avrane::DeviceDiscovery {

// Where the device tree and the device nodes live; tests point these at fake trees.
struct Roots {
    std::filesystem::path sysfs = "/sys";
    std::filesystem::path dev = "/dev";
};

// Every serial device (sysfs class "tty", by name) whose nearest USB ancestor matches one of
// `models`, in name order; the first matching model in list order wins. Never fails: a
// device whose tree cannot be read, that has no USB ancestor within reach or no device
// node is left out.
std::vector<DiscoveredDongle> findDongles(std::span<const DongleModel> models,
                                          const Roots& roots = {});

// Dongles plugged in with their switch at a mode without a serial control channel.
std::vector<DiscoveredDongle> findUncontrollableDongles(const Roots& roots = {});

namespace detail {

// A sysfs id attribute ("054c\n"): one to eight hex digits, surrounding white space
// allowed; nothing for anything else.
std::optional<std::int64_t> parseHexAttribute(std::string_view text);

}  // namespace detail

}  // namespace avrane::DeviceDiscovery
