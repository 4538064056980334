#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace avrane::soak {

// What /proc tells about a running process at one moment.
struct ProcessSample {
    long residentKiB = 0;   // VmRSS
    int descriptors = 0;    // entries of /proc/PID/fd, less one eventfd per thread of Qt's pool
    int threads = 0;        // entries of /proc/PID/task, without Qt's pool threads
    double cpuSeconds = 0;  // utime + stime
};

// Nothing once the process is gone.
std::optional<ProcessSample> sampleProcess(pid_t pid);

// The descriptors a process holds, one line each ("5 -> socket:[1234]"), for a report of
// what leaked.
std::string describeDescriptors(pid_t pid);
// Its threads by name, one line each, for the same.
std::string describeThreads(pid_t pid);

}  // namespace avrane::soak
