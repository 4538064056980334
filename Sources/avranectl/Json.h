#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace avrane::ctl {

// A JSON value built by the tool and written out; objects keep their keys in insertion
// order, so the output reads in the order the code builds it.
class Json {
public:
    Json() = default;  // null
    Json(std::nullptr_t) {}
    Json(bool value) : kind_(Kind::boolean), boolean_(value) {}
    Json(int value) : kind_(Kind::integer), integer_(value) {}
    Json(unsigned value) : kind_(Kind::integer), integer_(value) {}
    Json(std::int64_t value) : kind_(Kind::integer), integer_(value) {}
    // Not finite: written as null, since JSON has no such numbers.
    Json(double value) : kind_(Kind::real), real_(value) {}
    Json(std::string value) : kind_(Kind::string), string_(std::move(value)) {}
    Json(std::string_view value) : Json(std::string(value)) {}
    Json(const char* value) : Json(std::string(value)) {}
    // Null for an empty optional.
    template <class T>
    Json(const std::optional<T>& value) : Json(value ? Json(*value) : Json()) {}
    // One-byte numbers are numbers, not characters.
    Json(std::uint8_t value) : Json(static_cast<unsigned>(value)) {}
    Json(std::uint16_t value) : Json(static_cast<unsigned>(value)) {}

    static Json object() { return Json(Kind::object); }
    static Json array() { return Json(Kind::array); }

    // Adds a member to an object (or an element to an array); returns *this for chaining.
    Json& set(std::string key, Json value);
    Json& push(Json value);

    // An object's member, or null when there is none.
    const Json* find(std::string_view key) const;

    // Compact on one line; with `indent` > 0, one member per line.
    std::string dump(int indent = 0) const;

private:
    enum class Kind { null, boolean, integer, real, string, array, object };
    explicit Json(Kind kind) : kind_(kind) {}
    void write(std::string& out, int indent, int depth) const;

    Kind kind_ = Kind::null;
    bool boolean_ = false;
    std::int64_t integer_ = 0;
    double real_ = 0;
    std::string string_;
    std::vector<std::string> keys_;  // object members' names, parallel to items_
    std::vector<Json> items_;
};

// `text` as a quoted JSON string. Control characters (C0, DEL, C1) are escaped, and bytes
// that are not UTF-8 (a device path can hold any) become U+FFFD, so the result is always
// valid JSON that a terminal shows as it is.
std::string jsonString(std::string_view text);

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one
// (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t utf8SequenceLength(std::string_view s);
// The code point of a sequence of that length when it is a control character (C0, DEL, C1).
std::optional<unsigned> controlCode(std::string_view sequence);

}  // namespace avrane::ctl
