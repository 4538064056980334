#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

namespace avrane {

// A worker thread that runs jobs one at a time, first in, first out, so that whatever runs
// on it needs no lock of its own. The thread is named after the label. Jobs queued as
// background wait until no other job is queued: the application's own work goes before work
// done on behalf of other programs.
class SerialQueue {
public:
    using Job = std::function<void()>;
    enum class Lane : unsigned char { foreground, background };

    explicit SerialQueue(std::string label);
    // Waits for the job in progress; jobs not yet started are dropped.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Queues `job` and returns at once.
    void async(Job job, Lane lane = Lane::foreground);

    // Runs `f` on the queue after everything queued before it and returns its result (or
    // rethrows what it threw). Called from the queue's own thread it runs `f` in place
    // rather than waiting for itself.
    template <class F>
    std::invoke_result_t<F&> sync(F&& f) {
        using Result = std::invoke_result_t<F&>;
        if (isCurrent()) return f();
        std::packaged_task<Result()> task(std::forward<F>(f));
        auto result = task.get_future();
        async([&task] { task(); });
        return result.get();
    }

    bool isCurrent() const { return std::this_thread::get_id() == worker_.get_id(); }
    const std::string& label() const { return label_; }

private:
    void run(std::stop_token stop);

    const std::string label_;
    std::mutex mutex_;
    std::condition_variable_any ready_;
    std::deque<Job> jobs_;
    std::deque<Job> background_;
    std::jthread worker_;  // last: starts after everything it uses
};

}  // namespace avrane
