#include "AvraneKit/Discovery/PathWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace avrane {

PathWatch::PathWatch(const std::filesystem::path& path) : name_(path.filename().string()) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    if (name_.empty()) return;
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    if (::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_ATTRIB) < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

PathWatch::~PathWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool PathWatch::appeared() {
    if (fd_ < 0) return false;
    bool seen = false;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            if (event.len > 0 && name_ == std::string_view(name, ::strnlen(name, event.len))) seen = true;
            at += ssize_t(sizeof(inotify_event) + event.len);
        }
    }
    return seen;
}

}  // namespace avrane
