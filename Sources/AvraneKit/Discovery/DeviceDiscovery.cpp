#include "AvraneKit/Discovery/DeviceDiscovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iterator>
#include <system_error>

namespace avrane::DeviceDiscovery {
namespace fs = std::filesystem;

namespace {

// The serial device itself plus this many ancestors are searched for the USB device.
constexpr int ancestorLimit = 11;
// Ids are four hex digits and a USB serial-number string is at most 126 UTF-16 units, so
// this holds every attribute read here; longer text is cut.
constexpr std::size_t attributeLimit = 512;

struct UsbIdentity {
    std::int64_t vendorID;
    std::int64_t productID;
    std::optional<std::string> serialNumber;
};

// Plain descriptors rather than streams: the controller re-runs discovery every 2 s while a
// dongle is held, and most attributes it looks for do not exist.
std::optional<std::string> readAttribute(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    char buffer[attributeLimit];
    ssize_t count;
    do count = ::read(fd, buffer, sizeof buffer);
    while (count < 0 && errno == EINTR);
    ::close(fd);
    if (count < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(count));
}

std::optional<std::int64_t> readHexAttribute(const fs::path& file) {
    const auto text = readAttribute(file);
    if (!text) return std::nullopt;
    return detail::parseHexAttribute(*text);
}

// Where a sysfs link leads, by one readlink and lexical normalisation: sysfs links lead to
// real directories, and canonical() would read every component of every path again, which
// made the presence check (every 2 s while a dongle is held) cost hundreds of syscalls. A
// path that is no link is taken as it is; nothing when it does not exist.
std::optional<fs::path> follow(const fs::path& path) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length < 0) {
        if (errno == EINVAL) return path;  // a directory, not a link
        return std::nullopt;
    }
    const fs::path link(std::string(target, static_cast<std::size_t>(length)));
    fs::path resolved = (link.is_absolute() ? link : path.parent_path() / link).lexically_normal();
    // "a/b/.." normalises to "a/"; without the empty last part the ancestor count stays right.
    if (resolved.filename().empty()) resolved = resolved.parent_path();
    return resolved;
}

bool isInside(const fs::path& path, const fs::path& root) {
    const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

// Walks from the tty's device directory up towards the root of the tree, to the first
// directory that holds both USB id attributes.
std::optional<UsbIdentity> usbIdentity(fs::path directory, const fs::path& sysfsRoot) {
    for (int level = 0; level <= ancestorLimit; ++level) {
        if (!isInside(directory, sysfsRoot) || directory == sysfsRoot) return std::nullopt;
        const auto vendor = readHexAttribute(directory / "idVendor");
        const auto product = vendor ? readHexAttribute(directory / "idProduct") : std::nullopt;
        if (vendor && product) {
            auto serial = readAttribute(directory / "serial");
            if (serial) {
                while (!serial->empty() && (serial->back() == '\n' || serial->back() == '\0')) {
                    serial->pop_back();
                }
                if (serial->empty()) serial.reset();
            }
            return UsbIdentity{*vendor, *product, std::move(serial)};
        }
        directory = directory.parent_path();
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> detail::parseHexAttribute(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::vector<DiscoveredDongle> findDongles(std::span<const DongleModel> models,
                                          const Roots& roots) {
    std::vector<DiscoveredDongle> found;
    if (models.empty()) return found;

    std::error_code error;
    const fs::path sysfsRoot = fs::canonical(roots.sysfs, error);
    if (error) return found;

    std::vector<std::string> names;
    for (fs::directory_iterator it(sysfsRoot / "class" / "tty", error), end; !error && it != end;
         it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());

    for (const auto& name : names) {
        std::error_code entryError;
        const auto tty = follow(sysfsRoot / "class" / "tty" / name);
        // Virtual terminals and the like have no device link; they end here.
        const auto device = tty ? follow(*tty / "device") : std::nullopt;
        if (!device) continue;
        const auto identity = usbIdentity(*device, sysfsRoot);
        if (!identity) continue;
        const auto model = std::find_if(models.begin(), models.end(), [&](const DongleModel& m) {
            return m.vendorID == identity->vendorID && m.productID == identity->productID;
        });
        if (model == models.end()) continue;
        const fs::path node = roots.dev / name;
        if (!fs::exists(node, entryError)) continue;
        found.push_back(DiscoveredDongle{*model, node.string(), identity->serialNumber});
    }
    return found;
}

std::vector<DiscoveredDongle> findUncontrollableDongles(const Roots& roots) {
    return findDongles(DongleModel::otherKnownModes, roots);
}

}  // namespace avrane::DeviceDiscovery
