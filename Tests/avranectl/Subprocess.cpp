#include "Subprocess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace avrane::testing {
namespace {

constexpr int childSetupFailed = 125;

// Also the session bus: an AvraneBar running on the desktop would otherwise take the
// commands that the tests send to their own simulated dongle.
bool inheritable(const char* entry) {
    for (const char* name : {"AVRANE_PORT=", "AVRANECTL_REPLY_TIMEOUT=", "DBUS_SESSION_BUS_ADDRESS=", "XDG_RUNTIME_DIR="}) {
        if (std::strncmp(entry, name, std::strlen(name)) == 0) return false;
    }
    return true;
}

}  // namespace

Subprocess::Subprocess(const std::string& program, const std::vector<std::string>& args,
                       Options options) {
    // Everything the child needs is built before the fork: the parent has threads, so the
    // child may only make async-signal-safe calls.
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        if (inheritable(*e)) envStrings.emplace_back(*e);
    }
    for (const auto& [name, value] : options.environment) envStrings.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto& s : argStrings) argv.push_back(s.data());
    for (auto& s : envStrings) envp.push_back(s.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    if (options.output == Output::fullDisk) {
        ::close(out[1]);
        out[1] = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    } else if (options.output == Output::closedPipe) {
        ::close(out[0]);
        out[0] = -1;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (options.asUser && (::setgid(*options.asUser) != 0 || ::setuid(*options.asUser) != 0)) {
            ::_exit(childSetupFailed);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(childSetupFailed);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (options.output == Output::fullDisk) {
        ::close(out[0]);
        out[0] = -1;
    }
    // Small enough for the pipe's buffer, so this cannot block on a child that does not read;
    // a child that is gone already must not take the test down with SIGPIPE.
    if (!options.input.empty()) {
        ::signal(SIGPIPE, SIG_IGN);
        [[maybe_unused]] const auto n = ::write(in[1], options.input.data(), options.input.size());
    }
    ::close(in[1]);
    outFd_ = out[0];
    errFd_ = err[0];
}

Subprocess::~Subprocess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) ::close(outFd_);
    if (errFd_ >= 0) ::close(errFd_);
}

bool Subprocess::pump(std::chrono::steady_clock::time_point deadline) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (::poll(fds, 2, static_cast<int>(std::max<long>(0, left.count()))) <= 0) return true;
    for (auto [fd, text] : {std::pair{&outFd_, &out_}, std::pair{&errFd_, &err_}}) {
        const pollfd& p = fd == &outFd_ ? fds[0] : fds[1];
        if (*fd < 0 || !(p.revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        const ssize_t n = ::read(*fd, buffer, sizeof buffer);
        if (n > 0) {
            text->append(buffer, static_cast<std::size_t>(n));
        } else {
            ::close(*fd);
            *fd = -1;
        }
    }
    return true;
}

std::optional<std::string> Subprocess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto end = out_.find('\n', lineStart_);
        if (end != std::string::npos) {
            std::string line = out_.substr(lineStart_, end - lineStart_);
            lineStart_ = end + 1;
            return line;
        }
        if (std::chrono::steady_clock::now() >= deadline || outFd_ < 0 || !pump(deadline)) {
            return std::nullopt;
        }
    }
}

void Subprocess::signal(int number) {
    if (pid_ > 0) ::kill(pid_, number);
}

Finished Subprocess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && pump(deadline)) {
    }
    Finished result;
    if (outFd_ >= 0 || errFd_ >= 0) {
        ADD_FAILURE() << "the child did not finish within " << timeout.count() << " ms";
        ::kill(pid_, SIGKILL);
    }
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) status = -1;
    if (status != -1) result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    result.out = out_.substr(lineStart_);
    result.err = err_;
    return result;
}

std::map<std::string, std::string> parseJson(const std::string& text) {
    static const char* const script = R"(
import json, sys
def refuse(name): raise ValueError("not a JSON number: " + name)
def members(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)): raise ValueError("duplicate key")
    return dict(pairs)
doc = json.loads(sys.stdin.buffer.read().decode("utf-8"), object_pairs_hook=members,
                 parse_constant=refuse)
def walk(path, value):
    if isinstance(value, (dict, list)) and value:
        items = value.items() if isinstance(value, dict) else enumerate(value)
        for key, child in items: walk(path + [str(key)], child)
    else:
        print(".".join(path) + "=" + json.dumps(value))
walk([], doc)
)";
    Subprocess python("/usr/bin/python3", {"-c", script}, {.environment = {}, .input = text, .asUser = {}, .output = Subprocess::Output::pipe});
    const Finished result = python.wait();
    std::map<std::string, std::string> leaves;
    if (result.status != 0) {
        ADD_FAILURE() << "not valid JSON: " << result.err << "\n" << text;
        return leaves;
    }
    std::size_t start = 0;
    for (std::size_t end; (end = result.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = result.out.substr(start, end - start);
        const auto equals = line.find('=');
        leaves[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return leaves;
}

}  // namespace avrane::testing
