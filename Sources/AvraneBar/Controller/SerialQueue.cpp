#include "AvraneBar/Controller/SerialQueue.h"

#include "AvraneBar/Controller/ThreadName.h"

namespace avrane {
namespace {

// The queue whose job the current thread is running, if any.
thread_local const SerialQueue* runningQueue = nullptr;

}  // namespace

SerialQueue::SerialQueue(std::string label)
    : label_(std::move(label)), worker_([this](std::stop_token stop) { run(stop); }) {}

SerialQueue::~SerialQueue() {
    worker_.request_stop();
    worker_.join();
}

bool SerialQueue::isCurrent() const { return runningQueue == this; }

void SerialQueue::async(Job job) {
    {
        const std::lock_guard lock(mutex_);
        entries_.push_back({nextTicket_++, std::move(job)});
    }
    changed_.notify_all();
}

SerialQueue::Turn::Turn(SerialQueue& queue) : queue_(queue), previous_(runningQueue) {
    std::unique_lock lock(queue_.mutex_);
    const std::uint64_t ticket = queue_.nextTicket_++;
    queue_.entries_.push_back({ticket, nullptr});
    queue_.changed_.wait(lock, [&] {
        return !queue_.busy_ && queue_.entries_.front().ticket == ticket;
    });
    queue_.entries_.pop_front();
    queue_.busy_ = true;
    runningQueue = &queue_;
}

SerialQueue::Turn::~Turn() {
    runningQueue = previous_;
    queue_.finishJob();
}

void SerialQueue::finishJob() {
    {
        const std::lock_guard lock(mutex_);
        busy_ = false;
    }
    changed_.notify_all();
}

void SerialQueue::run(std::stop_token stop) {
    nameCurrentThread(label_);
    runningQueue = this;
    std::unique_lock lock(mutex_);
    // Only queued jobs are the worker's; a `sync` caller at the front runs its own.
    const auto jobReady = [this] { return !busy_ && !entries_.empty() && entries_.front().job; };
    while (changed_.wait(lock, stop, jobReady) && !stop.stop_requested()) {
        Job job = std::move(entries_.front().job);
        entries_.pop_front();
        busy_ = true;
        lock.unlock();
        job();
        job = nullptr;  // its captures go on the queue's thread, before the next job
        finishJob();
        lock.lock();
    }
}

}  // namespace avrane
