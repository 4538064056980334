#include "AvraneBar/Controller/SerialQueue.h"

#include "AvraneBar/Controller/ThreadName.h"

namespace avrane {

SerialQueue::SerialQueue(std::string label)
    : label_(std::move(label)), worker_([this](std::stop_token stop) { run(stop); }) {
    nameThread(worker_.native_handle(), label_);
}

SerialQueue::~SerialQueue() {
    worker_.request_stop();
    worker_.join();
}

void SerialQueue::async(Job job, Lane lane) {
    {
        const std::lock_guard lock(mutex_);
        (lane == Lane::foreground ? jobs_ : background_).push_back(std::move(job));
    }
    ready_.notify_one();
}

void SerialQueue::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (ready_.wait(lock, stop, [this] { return !jobs_.empty() || !background_.empty(); }) &&
           !stop.stop_requested()) {
        std::deque<Job>& lane = jobs_.empty() ? background_ : jobs_;
        Job job = std::move(lane.front());
        lane.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // its captures go on the queue's thread, before the next job
        lock.lock();
    }
}

}  // namespace avrane
