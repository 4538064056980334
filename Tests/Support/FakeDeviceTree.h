#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "AvraneKit/Discovery/DeviceDiscovery.h"

namespace avrane::testing {

// A sysfs and /dev pair in a temporary directory, laid out as Linux lays out USB serial
// devices, for discovery to walk. Removed on destruction.
class FakeDeviceTree {
public:
    enum class Layout {
        cdcAcm,      // ttyACM*: the tty's device is the USB interface
        usbSerial,   // ttyUSB*: one level deeper, under the usb-serial port of the interface
    };

    FakeDeviceTree();
    ~FakeDeviceTree();

    // A tty whose USB device (with the ids and, when given, a serial number) sits
    // `extraLevels` directories above where it normally would. `devNode` false leaves out
    // the /dev entry.
    void addUsbTty(const std::string& name, std::int64_t vendor, std::int64_t product,
                   std::optional<std::string> serial = std::nullopt,
                   Layout layout = Layout::cdcAcm, int extraLevels = 0, bool devNode = true);
    // A tty without a device link (a virtual console).
    void addVirtualTty(const std::string& name);
    // Makes /dev/<name> a link to `target` (a pseudo-terminal, say).
    void linkDevNode(const std::string& name, const std::filesystem::path& target);

    DeviceDiscovery::Roots roots() const { return {sysfs_, dev_}; }
    std::filesystem::path devPath(const std::string& name) const { return dev_ / name; }

private:
    void addTty(const std::string& name, const std::filesystem::path& deviceDir,
                const std::filesystem::path& ttyDir, bool devNode);

    std::filesystem::path root_;
    std::filesystem::path sysfs_;
    std::filesystem::path dev_;
    int nextBus_ = 1;
};

}  // namespace avrane::testing
