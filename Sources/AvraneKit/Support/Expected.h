#pragma once

#include <cassert>
#include <utility>
#include <variant>

namespace avrane {

// A value or the error that prevented it; for decoders, which report failures without
// throwing. T and E must be distinct types.
template <class T, class E>
class Expected {
public:
    Expected(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
    Expected(E error) : storage_(std::in_place_index<1>, std::move(error)) {}

    bool hasValue() const { return storage_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    const T& value() const& {
        assert(hasValue());
        return *std::get_if<0>(&storage_);
    }
    T&& value() && {
        assert(hasValue());
        return std::move(*std::get_if<0>(&storage_));
    }
    const E& error() const {
        assert(!hasValue());
        return *std::get_if<1>(&storage_);
    }

    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, E> storage_;
};

}  // namespace avrane
