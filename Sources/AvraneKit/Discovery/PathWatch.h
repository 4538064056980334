#pragma once

#include <filesystem>
#include <string>

namespace avrane {

// Tells when a file comes to be at a path: a device named from outside (AVRANE_PORT) that the
// kernel's announcements do not cover, such as a pseudo-terminal behind a link, coming back.
// inotify on the folder that holds it, for that one name: created, moved or linked there, or
// its attributes changed (a node given its group). `descriptor()` is readable while news waits.
class PathWatch {
public:
    // Nothing is watched (descriptor -1) when the folder cannot be: then nobody is told.
    explicit PathWatch(const std::filesystem::path& path);
    ~PathWatch();

    PathWatch(const PathWatch&) = delete;
    PathWatch& operator=(const PathWatch&) = delete;

    int descriptor() const { return fd_; }
    // Takes what waits, without blocking: whether the file came to be meanwhile.
    bool appeared();

private:
    int fd_ = -1;
    std::string name_;
};

}  // namespace avrane
