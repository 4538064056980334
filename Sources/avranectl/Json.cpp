#include "avranectl/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace avrane::ctl {
namespace {

void newline(std::string& out, int indent, int depth) {
    if (indent <= 0) return;
    out += '\n';
    out.append(static_cast<std::size_t>(indent * depth), ' ');
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

std::optional<unsigned> controlCode(std::string_view sequence) {
    if (sequence.empty()) return std::nullopt;
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1 && (lead < 0x20 || lead == 0x7F)) return lead;
    // U+0080 to U+009F: C2 80 to C2 9F.
    if (sequence.size() == 2 && lead == 0xC2) {
        const auto second = static_cast<unsigned char>(sequence[1]);
        if (second <= 0x9F) return second;
    }
    return std::nullopt;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            out += "\\ufffd";
            text.remove_prefix(1);
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (const auto control = controlCode(text.substr(0, length))) {
                    // DEL and the C1 controls too: valid JSON as they are, but a terminal
                    // showing the output would act on them.
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", *control);
                    out += escaped;
                } else {
                    out.append(text.substr(0, length));
                }
        }
        text.remove_prefix(length);
    }
    out += '"';
    return out;
}

Json& Json::set(std::string key, Json value) {
    keys_.push_back(std::move(key));
    items_.push_back(std::move(value));
    return *this;
}

Json& Json::push(Json value) {
    items_.push_back(std::move(value));
    return *this;
}

const Json* Json::find(std::string_view key) const {
    if (kind_ != Kind::object) return nullptr;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] == key) return &items_[i];
    }
    return nullptr;
}

std::string Json::dump(int indent) const {
    std::string out;
    write(out, indent, 0);
    return out;
}

void Json::write(std::string& out, int indent, int depth) const {
    switch (kind_) {
        case Kind::null: out += "null"; return;
        case Kind::boolean: out += boolean_ ? "true" : "false"; return;
        case Kind::integer: out += std::to_string(integer_); return;
        case Kind::real: {
            if (!std::isfinite(real_)) {
                out += "null";
                return;
            }
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, real_);
            out.append(buffer, result.ptr);
            return;
        }
        case Kind::string: out += jsonString(string_); return;
        case Kind::array:
        case Kind::object: break;
    }
    const bool isObject = kind_ == Kind::object;
    out += isObject ? '{' : '[';
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i != 0) out += ',';
        newline(out, indent, depth + 1);
        if (isObject) {
            out += jsonString(keys_[i]);
            out += indent > 0 ? ": " : ":";
        }
        items_[i].write(out, indent, depth + 1);
    }
    if (!items_.empty()) newline(out, indent, depth);
    out += isObject ? '}' : ']';
}

}  // namespace avrane::ctl
