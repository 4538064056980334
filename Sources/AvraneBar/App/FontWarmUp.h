#pragma once

#include <thread>

namespace avrane {

// Reads the system's font configuration on a thread of its own while the application object
// and the platform connection are set up, so that the panel's first text does not wait for
// it on the main thread (a few milliseconds of every launch, most of it parsing XML). Does
// nothing where fonts are not configured through fontconfig.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp() = default;  // joins
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::jthread thread_;
};

}  // namespace avrane
