#pragma once

#include <pthread.h>

#include <string>
#include <string_view>
#include <thread>

namespace avrane {

// Linux keeps at most 15 bytes of a thread's name; the rest is cut off there (the full
// name stays what the code calls the thread).
inline constexpr std::size_t longestThreadName = 15;

// Named by whoever starts the thread, so that the name is there as soon as the thread is.
inline void nameThread(std::thread::native_handle_type thread, std::string_view name) {
    const std::string visible(name.substr(0, longestThreadName));
    ::pthread_setname_np(thread, visible.c_str());
}

}  // namespace avrane
