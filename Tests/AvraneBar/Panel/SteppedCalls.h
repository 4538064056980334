#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <utility>

#include "AvraneBar/Panel/DelayedCalls.h"

namespace avrane::testing {

// Delayed calls on a clock the test moves: `advance` runs what falls due, in order, each at
// its own time.
class SteppedCalls : public DelayedCalls {
public:
    using Time = std::chrono::steady_clock::time_point;

    Time now() const { return now_; }

    Token callAfter(std::chrono::milliseconds delay, std::function<void()> work) override {
        const Token token = next_++;
        due_.emplace(std::pair{now_ + delay, token}, std::move(work));
        return token;
    }
    void cancel(Token token) override {
        std::erase_if(due_, [token](const auto& entry) { return entry.first.second == token; });
    }

    void advance(std::chrono::milliseconds by) {
        const Time until = now_ + by;
        while (!due_.empty() && due_.begin()->first.first <= until) {
            auto entry = due_.extract(due_.begin());
            now_ = entry.key().first;
            entry.mapped()();
        }
        now_ = until;
    }
    std::size_t pending() const { return due_.size(); }

private:
    Time now_{std::chrono::hours(1000)};
    Token next_ = 1;
    std::map<std::pair<Time, Token>, std::function<void()>> due_;
};

}  // namespace avrane::testing
