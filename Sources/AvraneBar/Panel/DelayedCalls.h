#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

#include <QObject>

class QTimer;

namespace avrane {

// Work that runs on the main thread after a delay unless cancelled first. The panel debounces
// its writes through it; tests hand in a stepped one and move time themselves.
class DelayedCalls {
public:
    using Token = std::uint64_t;

    virtual ~DelayedCalls() = default;
    // `work` may cancel other calls and schedule new ones.
    virtual Token callAfter(std::chrono::milliseconds delay, std::function<void()> work) = 0;
    // A call that has not started never runs; an unknown or finished token is ignored.
    virtual void cancel(Token token) = 0;
};

// Single-shot Qt timers on the thread of `parent`; pending calls die with it.
class TimerCalls : public QObject, public DelayedCalls {
public:
    explicit TimerCalls(QObject* parent = nullptr) : QObject(parent) {}

    Token callAfter(std::chrono::milliseconds delay, std::function<void()> work) override;
    void cancel(Token token) override;

private:
    std::map<Token, QTimer*> timers_;
    Token next_ = 1;
};

}  // namespace avrane
