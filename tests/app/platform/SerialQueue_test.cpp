#include "app/platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;

// Holds the queue's thread in its first piece of work until opened, so that
// everything after it is queued while it runs.
struct Gate {
    std::promise<void> opened;
    std::shared_future<void> wait = opened.get_future().share();
    void hold(SerialQueue& queue) {
        queue.async([w = wait] { w.wait(); });
    }
    void open() { opened.set_value(); }
};

TEST(SerialQueue, RunsWorkOneAtATimeInTheOrderQueued) {
    SerialQueue queue("test.order");
    Gate gate;
    gate.hold(queue);
    std::vector<int> order;  // touched by the queue's thread only, read once idle
    std::atomic<int> running{0}, overlaps{0};
    for (int i = 0; i < 20; ++i) {
        queue.async([&, i] {
            if (running.fetch_add(1) != 0) ++overlaps;
            order.push_back(i);
            std::this_thread::yield();
            running.fetch_sub(1);
        });
    }
    EXPECT_FALSE(queue.waitUntilIdle(20ms)) << "idle while work is still queued";
    gate.open();
    ASSERT_TRUE(queue.waitUntilIdle(10s));
    std::vector<int> expected(20);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(overlaps, 0);
}

TEST(SerialQueue, DestructionRunsWhatIsStillQueuedFirst) {
    std::atomic<int> ran{0};
    Gate gate;
    // Opened only once the destructor is waiting, so that the work is still
    // queued when the queue is told to stop.
    std::thread opener([&] {
        std::this_thread::sleep_for(50ms);
        gate.open();
    });
    {
        SerialQueue queue("test.drain");
        gate.hold(queue);
        for (int i = 0; i < 5; ++i) queue.async([&] { ++ran; });
    }
    opener.join();
    EXPECT_EQ(ran, 5);
}

TEST(SerialQueue, WorkThatThrowsIsLoggedAndTheQueueGoesOn) {
    SerialQueue queue("test.throws");
    bool after = false;
    queue.async([] { throw std::runtime_error("expected by the test"); });
    queue.async([] { throw 7; });
    queue.async([&] { after = true; });
    ASSERT_TRUE(queue.waitUntilIdle(10s));
    EXPECT_TRUE(after);
    EXPECT_TRUE(SerialQueue::waitForAllQueues(10s));
    EXPECT_EQ(SerialQueue::pendingWorkInProcess(), 0);
}

TEST(SerialQueue, ProcessCountsWorkOnEveryQueueUntilItHasRun) {
    SerialQueue first("test.first"), second("test.second");
    Gate gate;
    gate.hold(first);
    second.async([w = gate.wait] { w.wait(); });
    first.async([] {});
    EXPECT_EQ(SerialQueue::pendingWorkInProcess(), 3);
    EXPECT_FALSE(SerialQueue::waitForAllQueues(20ms));
    gate.open();
    EXPECT_TRUE(SerialQueue::waitForAllQueues(10s));
    EXPECT_EQ(SerialQueue::pendingWorkInProcess(), 0);
}

TEST(SerialQueue, WaitingFromItsOwnWorkReturnsAtOnce) {
    SerialQueue queue("test.self");
    std::optional<bool> waited;
    queue.async([&] { waited = queue.waitUntilIdle(10s); });
    ASSERT_TRUE(queue.waitUntilIdle(5s)) << "the work waited for itself";
    EXPECT_EQ(waited, false);
}

}  // namespace
}  // namespace quillet
