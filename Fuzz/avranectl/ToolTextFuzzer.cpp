// Text from outside (device paths, serial numbers, whatever holds the application's bus
// name) as avranectl writes it to a terminal and into JSON. Neither may ever carry a control
// character (C0, DEL, C1) or a byte that is not UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "avranectl/Json.h"
#include "avranectl/Output.h"

namespace {

// Every byte is part of well-formed UTF-8, and no sequence is a control character.
void checkClean(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = avrane::ctl::utf8SequenceLength(text);
        if (length == 0 || avrane::ctl::controlCode(text.substr(0, length))) std::abort();
        text.remove_prefix(length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkClean(avrane::ctl::printable(text));
    const std::string json = avrane::ctl::jsonString(text);
    checkClean(json);
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') std::abort();
    return 0;
}
