#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace avrane::testing {

struct Finished {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// A child process with its output on pipes. Its environment is ours without the tool's own
// variables, plus `environment`. Killed on destruction if still running.
class Subprocess {
public:
    // Where its standard output goes: a pipe the test reads, one whose reader has gone
    // already, or a full disk (/dev/full).
    enum class Output { pipe, closedPipe, fullDisk };

    struct Options {
        std::map<std::string, std::string> environment;
        std::string input;               // written to its standard input, which is then closed
        std::optional<uid_t> asUser;     // run as this user and group (needs root)
        Output output = Output::pipe;
    };

    Subprocess(const std::string& program, const std::vector<std::string>& args, Options options);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // The next line of standard output, without its newline; nothing at the end of the
    // output or when none came within `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void signal(int number);
    // Reads the rest of the output and waits for the exit; a child still running after
    // `timeout` is killed and the test fails.
    Finished wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));

private:
    // Reads what is there within the deadline; false once both pipes are at their end.
    bool pump(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    std::size_t lineStart_ = 0;
};

// Parses `text` with a strict JSON parser (Python's: no NaN, no duplicate keys, valid
// UTF-8) and returns each leaf as path -> JSON text ("battery.percent" -> "80",
// "dongles.0.serialNumber" -> "null"). Fails the test and returns nothing on invalid JSON.
std::map<std::string, std::string> parseJson(const std::string& text);

}  // namespace avrane::testing
