#include "Soak/EventWait.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace avrane::soak {
namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t caught = 0;

void onSignal(int signal) {
    caught = signal;
    const char byte = char(signal);
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void catchTerminationSignals() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    // Handlers, not a blocked mask: a mask would be inherited by every program started.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, onSignal);
    // Wakes whatever loop is running, which then looks at `caught`.
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
    });
}

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    if (caught) throw Interrupted(caught);
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    bool held = false;
    // Nothing may be thrown through Qt's event loop: a failure of `done` is carried out.
    std::exception_ptr failure;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        try {
            if (caught || (held = done())) loop.quit();
        } catch (...) {
            failure = std::current_exception();
            loop.quit();
        }
    });
    check.start(10);
    QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
    loop.exec();
    if (caught) throw Interrupted(caught);
    if (failure) std::rethrow_exception(failure);
    return held || done();
}

void runFor(std::chrono::milliseconds duration) {
    runUntil([] { return false; }, duration);
}

}  // namespace avrane::soak
