#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

namespace avrane {

// Runs jobs one at a time, first in, first out, so that whatever runs on it needs no lock of
// its own. Queued jobs run on a worker thread named after the label; a job handed to `sync`
// runs on the calling thread once its turn has come, as a dispatch queue does, which spares
// the pump loop two thread switches per step.
class SerialQueue {
public:
    using Job = std::function<void()>;

    explicit SerialQueue(std::string label);
    // Waits for the job in progress; jobs not yet started are dropped.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Queues `job` and returns at once.
    void async(Job job);

    // Runs `f` after everything queued before it, never beside another job, and returns its
    // result (or rethrows what it threw). Called from inside a job of this queue it runs `f`
    // in place rather than waiting for itself.
    template <class F>
    std::invoke_result_t<F&> sync(F&& f) {
        if (isCurrent()) return f();
        const Turn turn(*this);
        return f();
    }

    // Whether the calling thread is running a job of this queue.
    bool isCurrent() const;
    const std::string& label() const { return label_; }

private:
    // Holds the queue for one `sync` job: waits for its place in line, releases on exit.
    class Turn {
    public:
        explicit Turn(SerialQueue& queue);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        SerialQueue& queue_;
        const SerialQueue* previous_;
    };

    // A queued job, or the place in line of a caller waiting in `sync` (no job).
    struct Entry {
        std::uint64_t ticket;
        Job job;
    };

    void run(std::stop_token stop);
    void finishJob();

    const std::string label_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<Entry> entries_;
    std::uint64_t nextTicket_ = 0;
    bool busy_ = false;  // a job is running, on the worker or on a `sync` caller
    std::jthread worker_;  // last: starts after everything it uses
};

}  // namespace avrane
