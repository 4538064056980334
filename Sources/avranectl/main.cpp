// avranectl: the headset from the command line and from scripts (status bars, aliases).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "AvraneKit/Client/HeadsetClient.h"
#include "avranectl/Output.h"
#include "avranectl/Tool.h"

namespace {

// Test runs shorten the wait for each reply with this (seconds).
constexpr const char* replyTimeoutVariable = "AVRANECTL_REPLY_TIMEOUT";

int interruptPipe[2] = {-1, -1};

// Writes the signal's number: the pipe both wakes every wait and tells the exit status.
void onInterrupt(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto n = ::write(interruptPipe[1], &number, 1);
    errno = saved;
}

// SIGINT and SIGTERM end any command within a moment, through the port's own waits, and
// with the port closed properly (its attributes and exclusive mode restored). No
// SA_RESTART, so that a write stuck on a full pipe returns too.
int armInterrupt() {
    if (::pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return interruptPipe[0];
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    avrane::ctl::Environment env;
    const std::string portVariable(avrane::HeadsetClient::portOverrideVariable);
    if (const char* port = std::getenv(portVariable.c_str())) env.portOverride = port;
    if (const char* text = std::getenv(replyTimeoutVariable)) {
        char* end = nullptr;
        const double seconds = std::strtod(text, &end);
        if (end != text && *end == '\0' && seconds > 0 && seconds < 60) env.replyTimeout = seconds;
    }
    env.interruptFd = armInterrupt();
    // A reader that went away is an output error like any other: reported, exit status 1.
    ::signal(SIGPIPE, SIG_IGN);

    avrane::ctl::DescriptorOutput buffer(STDOUT_FILENO, env.interruptFd);
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);
    return avrane::ctl::runTool(args, env, out, std::cerr);
}
