#pragma once

#include <pthread.h>

#include <string>
#include <string_view>

namespace avrane {

// Linux keeps at most 15 bytes of a thread's name; the rest is cut off there (the full
// name stays what the code calls the thread).
inline constexpr std::size_t longestThreadName = 15;

inline void nameCurrentThread(std::string_view name) {
    const std::string visible(name.substr(0, longestThreadName));
    ::pthread_setname_np(::pthread_self(), visible.c_str());
}

}  // namespace avrane
