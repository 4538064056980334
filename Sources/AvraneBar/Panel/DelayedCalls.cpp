#include "AvraneBar/Panel/DelayedCalls.h"

#include <QTimer>

namespace avrane {

DelayedCalls::Token TimerCalls::callAfter(std::chrono::milliseconds delay, std::function<void()> work) {
    const Token token = next_++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, token, timer, work = std::move(work)] {
        timers_.erase(token);
        // Not deleted here: we are inside its signal.
        timer->deleteLater();
        work();
    });
    timers_.emplace(token, timer);
    timer->start(delay);
    return token;
}

void TimerCalls::cancel(Token token) {
    const auto found = timers_.find(token);
    if (found == timers_.end()) return;
    found->second->stop();
    found->second->deleteLater();
    timers_.erase(found);
}

}  // namespace avrane
