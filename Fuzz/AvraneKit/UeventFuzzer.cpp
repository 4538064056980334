// Arbitrary datagrams on the kernel's device-announcement socket. Whatever the parser
// accepts must be a message it would read back the same from its canonical form, with a
// node name that stays under /dev.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "AvraneKit/Discovery/DeviceEvents.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace avrane;
    const auto event = detail::parseUevent(ByteView(data, size));
    if (!event) return 0;
    if (event->action.empty() || event->devicePath.empty() || event->subsystem.empty()) std::abort();
    const std::string& node = event->deviceName;
    if (!node.empty()) {
        if (node.front() == '/') std::abort();
        std::size_t start = 0;
        while (start <= node.size()) {
            const std::size_t end = std::min(node.find('/', start), node.size());
            const std::string part = node.substr(start, end - start);
            if (part.empty() || part == "." || part == "..") std::abort();
            start = end + 1;
        }
    }

    std::string canonical = event->action + "@" + event->devicePath + '\0' + "ACTION=" + event->action + '\0' +
                            "DEVPATH=" + event->devicePath + '\0' + "SUBSYSTEM=" + event->subsystem + '\0';
    if (!node.empty()) canonical += "DEVNAME=" + node + '\0';
    const auto again = detail::parseUevent(
        ByteView(reinterpret_cast<const std::uint8_t*>(canonical.data()), canonical.size()));
    if (!again || *again != *event) std::abort();
    return 0;
}
