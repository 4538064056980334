#include "Soak/ProcessFigures.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace avrane::soak {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Calls `each` with every entry of a folder of /proc; -1 when it cannot be read (the process
// is gone), else how many there were.
int forEachEntry(const std::string& folder, const std::function<void(const std::filesystem::path&)>& each = {}) {
    std::error_code error;
    int count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, error); !error && it != std::filesystem::directory_iterator();
         it.increment(error)) {
        ++count;
        if (each) each(it->path());
    }
    return error ? -1 : count;
}

}  // namespace

std::optional<ProcessSample> sampleProcess(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    const std::string status = readFile(base + "/status");
    const std::string stat = readFile(base + "/stat");
    if (status.empty() || stat.empty()) return std::nullopt;
    ProcessSample sample;
    if (const auto at = status.find("VmRSS:"); at != std::string::npos) sample.residentKiB = std::stol(status.substr(at + 6));
    // Fields after the command's closing parenthesis: state is the 3rd field of the line,
    // utime the 14th and stime the 15th.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stol(field);
    }
    sample.cpuSeconds = double(ticks) / double(::sysconf(_SC_CLK_TCK));
    // Qt's global pool starts threads for short work and ends them after 30 s idle, each with
    // the eventfd of its event loop: they come and go with the work, which is not a leak.
    int pooled = 0;
    sample.descriptors = forEachEntry(base + "/fd");
    sample.threads = forEachEntry(base + "/task", [&](const std::filesystem::path& task) {
        if (readFile(task.string() + "/comm").starts_with("Thread (pooled)")) ++pooled;
    });
    if (sample.descriptors < 0 || sample.threads < 0) return std::nullopt;
    sample.threads -= pooled;
    sample.descriptors -= pooled;
    return sample;
}

std::string describeDescriptors(pid_t pid) {
    std::string text;
    forEachEntry("/proc/" + std::to_string(pid) + "/fd", [&](const std::filesystem::path& fd) {
        std::error_code ignored;
        text += "    " + fd.filename().string() + " -> " + std::filesystem::read_symlink(fd, ignored).string() + "\n";
    });
    return text;
}

std::string describeThreads(pid_t pid) {
    std::string text;
    forEachEntry("/proc/" + std::to_string(pid) + "/task", [&](const std::filesystem::path& task) {
        std::string name = readFile(task.string() + "/comm");
        if (!name.empty() && name.back() == '\n') name.pop_back();
        text += "    " + task.filename().string() + " " + name + "\n";
    });
    return text;
}

}  // namespace avrane::soak
