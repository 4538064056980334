#include "Support/FakeDeviceTree.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace avrane::testing {
namespace fs = std::filesystem;
namespace {

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string hex4(std::int64_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04llx\n", static_cast<long long>(value));
    return text;
}

}  // namespace

FakeDeviceTree::FakeDeviceTree() {
    std::string pattern = (fs::temp_directory_path() / "avrane-sysfs-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
    sysfs_ = root_ / "sys";
    dev_ = root_ / "dev";
    fs::create_directories(sysfs_ / "class" / "tty");
    fs::create_directories(dev_);
}

FakeDeviceTree::~FakeDeviceTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void FakeDeviceTree::addUsbTty(const std::string& name, std::int64_t vendor, std::int64_t product,
                               std::optional<std::string> serial, Layout layout, int extraLevels,
                               bool devNode) {
    const int bus = nextBus_++;
    const std::string port = std::to_string(bus) + "-1";
    fs::path usbDevice = sysfs_ / "devices" / "pci0000:00" / "0000:00:14.0" /
                         ("usb" + std::to_string(bus)) / port;
    fs::create_directories(usbDevice);
    writeFile(usbDevice / "idVendor", hex4(vendor));
    writeFile(usbDevice / "idProduct", hex4(product));
    if (serial) writeFile(usbDevice / "serial", *serial + "\n");

    // Hubs or bridges in between push the USB device further up.
    fs::path below = usbDevice;
    for (int i = 0; i < extraLevels; ++i) below /= "hub" + std::to_string(i);
    fs::path device = below / (port + ":1.0");
    if (layout == Layout::usbSerial) device /= name;
    addTty(name, device, device / "tty" / name, devNode);
}

void FakeDeviceTree::addVirtualTty(const std::string& name) {
    const fs::path ttyDir = sysfs_ / "devices" / "virtual" / "tty" / name;
    fs::create_directories(ttyDir);
    fs::create_directory_symlink(fs::relative(ttyDir, sysfs_ / "class" / "tty"),
                                 sysfs_ / "class" / "tty" / name);
    writeFile(dev_ / name, "");
}

void FakeDeviceTree::linkDevNode(const std::string& name, const fs::path& target) {
    fs::remove(dev_ / name);
    fs::create_symlink(target, dev_ / name);
}

void FakeDeviceTree::addTty(const std::string& name, const fs::path& deviceDir,
                            const fs::path& ttyDir, bool devNode) {
    fs::create_directories(ttyDir);
    // The links are relative, as in the real tree.
    fs::create_directory_symlink(fs::relative(deviceDir, ttyDir), ttyDir / "device");
    fs::create_directory_symlink(fs::relative(ttyDir, sysfs_ / "class" / "tty"),
                                 sysfs_ / "class" / "tty" / name);
    if (devNode) writeFile(dev_ / name, "");
}

}  // namespace avrane::testing
