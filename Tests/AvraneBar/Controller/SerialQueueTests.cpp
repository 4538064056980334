#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "AvraneBar/Controller/SerialQueue.h"

namespace avrane {
namespace {

// Jobs queued with async and work handed to sync run one at a time, in the order they were
// handed in.
TEST(SerialQueueTests, SyncWaitsForWhatWasQueuedBeforeIt) {
    SerialQueue queue("test.queue");
    std::promise<void> release;
    std::vector<int> order;  // touched only by queue work
    queue.async([&, released = release.get_future().share()] {
        released.wait();
        order.push_back(0);
    });
    queue.async([&] { order.push_back(1); });
    std::thread releaser([&] { release.set_value(); });
    queue.sync([&] { order.push_back(2); });
    releaser.join();
    queue.async([&] { order.push_back(3); });
    queue.sync([&] { order.push_back(4); });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

// Background jobs wait for every other job queued before they start, and keep their own order.
TEST(SerialQueueTests, BackgroundJobsGoAfterTheOthers) {
    SerialQueue queue("test.queue");
    std::promise<void> release;
    std::vector<int> order;  // touched only by queue work
    queue.async([released = release.get_future().share()] { released.wait(); });
    queue.async([&] { order.push_back(10); }, SerialQueue::Lane::background);
    queue.async([&] { order.push_back(1); });
    queue.async([&] { order.push_back(11); }, SerialQueue::Lane::background);
    queue.async([&] { order.push_back(2); });
    release.set_value();
    std::promise<void> done;
    queue.async([&] { done.set_value(); }, SerialQueue::Lane::background);
    done.get_future().wait();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 10, 11}));
}

TEST(SerialQueueTests, WorkFromManyThreadsNeverOverlaps) {
    SerialQueue queue("test.queue");
    int counter = 0;  // unguarded on purpose: the queue is its only protection
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    const auto increment = [&] {
        if (running.fetch_add(1) != 0) overlapped = true;
        ++counter;
        running.fetch_sub(1);
    };
    std::vector<std::thread> callers;
    for (int t = 0; t < 2; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) queue.sync(increment);
        });
    }
    for (int i = 0; i < 200; ++i) queue.async(increment);
    for (auto& caller : callers) caller.join();
    EXPECT_EQ(queue.sync([&] { return counter; }), 600);
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueueTests, SyncInsideAJobRunsInPlaceAndPassesExceptionsOn) {
    SerialQueue queue("test.queue");
    const int inner = queue.sync([&] { return queue.sync([] { return 7; }) + 1; });
    EXPECT_EQ(inner, 8);
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("job failed"); }),
                 std::runtime_error);
    // The queue goes on after a job threw.
    EXPECT_EQ(queue.sync([] { return 1; }), 1);
    EXPECT_FALSE(queue.isCurrent());
}

}  // namespace
}  // namespace avrane
