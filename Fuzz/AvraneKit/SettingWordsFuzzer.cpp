// Words from outside (the running application's properties, a command line) read as a
// setting's value, and raw payloads checked for a write. A word that is accepted must be one
// `get` prints exactly so, with no control character, and a number when it says it is one; a
// raw write that is accepted must be a writable item with its record's length.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "AvraneKit/Client/SettingTable.h"
#include "AvraneKit/Settings/WritableItems.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace avrane;
    if (size == 0) return 0;
    const auto settings = settingTable();
    const Setting& setting = settings[data[0] % settings.size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    if (const auto value = setting.word(text)) {
        if (value->text != text) std::abort();
        for (const char c : text) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
        }
        if (value->isNumber) {
            double number = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
            if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(number)) std::abort();
        }
    }
    if (setting.parse) setting.parse(text);

    const auto item = fromRaw<EventID>(data[0]);
    if (!item) return 0;
    const ByteView param(data + 1, size - 1);
    if (rawWriteRefusal(*item, param)) return 0;
    const WritableItem* writable = nullptr;
    for (const WritableItem& w : writableItems()) {
        if (w.item == *item) writable = &w;
    }
    if (!writable || writable->length != param.size()) std::abort();
    return 0;
}
