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
#include "avranectl/Tool.h"

namespace {

// Test runs shorten the wait for each reply with this (seconds).
constexpr const char* replyTimeoutVariable = "AVRANECTL_REPLY_TIMEOUT";

int interruptPipe[2] = {-1, -1};

void onInterrupt(int) {
    const int saved = errno;
    [[maybe_unused]] const auto n = ::write(interruptPipe[1], "!", 1);
    errno = saved;
}

// Watch runs until SIGINT or SIGTERM: the handler writes to a pipe that watch polls. No
// SA_RESTART, so a wait on the serial line is cut short and watch notices at once.
int armInterrupt() {
    if (interruptPipe[0] >= 0) return interruptPipe[0];
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
    env.interruptSource = armInterrupt;
    return avrane::ctl::runTool(args, env, std::cout, std::cerr);
}
