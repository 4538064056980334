#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>

namespace avrane {

// One row of an enumeration's table: the case, its identifier as text (error texts and
// trace lines print it) and, where the protocol has one, its English label.
template <class E>
struct EnumCase {
    E value;
    std::string_view name;
    std::string_view label = {};
};

// Specialised next to each wire enumeration with `static constexpr std::array cases`,
// listed in declaration order. The generic helpers below read that table.
template <class E>
struct EnumTable;

template <class E>
concept TabledEnum = std::is_enum_v<E> && requires { EnumTable<E>::cases; };

template <TabledEnum E>
constexpr auto rawValue(E value) {
    return static_cast<std::underlying_type_t<E>>(value);
}

namespace detail {

// Index of each raw byte in the table, or -1; built at compile time so that decoding a
// byte costs one lookup.
template <TabledEnum E>
inline constexpr auto rawIndex = [] {
    static_assert(sizeof(E) == 1, "wire enumerations are one byte");
    std::array<std::int16_t, 256> index{};
    index.fill(-1);
    const auto& cases = EnumTable<E>::cases;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        index[static_cast<std::uint8_t>(cases[i].value)] = static_cast<std::int16_t>(i);
    }
    return index;
}();

template <TabledEnum E>
constexpr const EnumCase<E>* findCase(E value) {
    const auto i = rawIndex<E>[static_cast<std::uint8_t>(value)];
    return i < 0 ? nullptr : &EnumTable<E>::cases[static_cast<std::size_t>(i)];
}

}  // namespace detail

// The case whose raw value is `raw`, or nothing for a byte outside the table.
template <TabledEnum E>
constexpr std::optional<E> fromRaw(std::uint8_t raw) {
    const auto i = detail::rawIndex<E>[raw];
    if (i < 0) return std::nullopt;
    return EnumTable<E>::cases[static_cast<std::size_t>(i)].value;
}

template <TabledEnum E>
constexpr std::string_view caseName(E value) {
    const auto* row = detail::findCase(value);
    return row ? row->name : std::string_view{};
}

template <TabledEnum E>
constexpr std::string_view label(E value) {
    const auto* row = detail::findCase(value);
    return row ? row->label : std::string_view{};
}

template <TabledEnum E>
constexpr auto allCases() {
    constexpr auto& cases = EnumTable<E>::cases;
    std::array<E, cases.size()> values{};
    for (std::size_t i = 0; i < cases.size(); ++i) values[i] = cases[i].value;
    return values;
}

}  // namespace avrane
