#pragma once

#include <chrono>

#include <QString>

namespace avrane::soak {

struct SoakOptions {
    std::chrono::seconds length{600};
    // The resident size, descriptors and threads are measured from the end of this on.
    std::chrono::seconds warmUp{60};
    unsigned seed = 1;
    // Judge only what does not depend on speed or memory (a build with sanitizers runs
    // slower and keeps freed memory aside): the timing and memory goals are printed, not judged.
    bool correctnessOnly = false;
    // Where the application's output and the run's account are kept.
    QString logFolder;
};

// The whole run, with its figures printed at the end. The exit status: 0 when every goal
// judged was met, 1 when one was not (or the run could not start), 130 or 143 when a signal
// ended it.
int runSoak(const SoakOptions& options);

}  // namespace avrane::soak
