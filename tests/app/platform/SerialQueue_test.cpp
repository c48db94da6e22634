// The background serial queue: one item at a time, in order, off the caller's thread.
#include "app/platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(SerialQueueTest, RunsItemsOneAtATimeInOrderOffTheCallingThread)
{
    SerialQueue queue("app.quillet.test");
    std::vector<int> order;  // touched only by the queue's thread
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> onCaller{false};
    const auto caller = std::this_thread::get_id();
    for (int i = 0; i < 50; ++i) {
        queue.async([&, i] {
            overlapped = overlapped || ++running > 1;
            onCaller = onCaller || std::this_thread::get_id() == caller;
            order.push_back(i);
            --running;
        });
    }
    ASSERT_TRUE(queue.waitUntilIdle(10s));
    ASSERT_EQ(order.size(), 50u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(onCaller);
}

TEST(SerialQueueTest, AFailingItemDoesNotStopTheQueueAndWaitingFromItsOwnWorkReturns)
{
    SerialQueue queue("app.quillet.test");
    std::atomic<bool> after{false};
    std::atomic<int> answer{-1};
    queue.async([] { throw std::runtime_error("disk full"); });
    queue.async([] { throw 7; });
    queue.async([&] { after = true; });
    queue.async([&] { answer = queue.waitUntilIdle(1s) ? 1 : 0; });  // no deadlock
    ASSERT_TRUE(queue.waitUntilIdle(10s));
    EXPECT_TRUE(after);
    EXPECT_EQ(answer.load(), 0);
}

TEST(SerialQueueTest, TheProcessWaitsForWorkOnEveryQueue)
{
    std::atomic<int> done{0};
    {
        SerialQueue journal("app.quillet.journal");
        SerialQueue saves("app.quillet.save");
        journal.async([&] {
            std::this_thread::sleep_for(30ms);
            ++done;
        });
        saves.async([&] {
            std::this_thread::sleep_for(60ms);
            ++done;
        });
        EXPECT_GE(SerialQueue::pendingWorkInProcess(), 1);
        ASSERT_TRUE(SerialQueue::waitForAllQueues(10s));
        EXPECT_EQ(done.load(), 2);
        EXPECT_EQ(SerialQueue::pendingWorkInProcess(), 0);

        saves.async([] { std::this_thread::sleep_for(200ms); });
        EXPECT_FALSE(SerialQueue::waitForAllQueues(10ms));
    }
    EXPECT_EQ(SerialQueue::pendingWorkInProcess(), 0);
}

TEST(SerialQueueTest, DestructionFinishesQueuedWork)
{
    std::atomic<int> done{0};
    {
        SerialQueue queue("app.quillet.test");
        for (int i = 0; i < 5; ++i) {
            queue.async([&] {
                std::this_thread::sleep_for(5ms);
                ++done;
            });
        }
    }
    EXPECT_EQ(done.load(), 5);
}

}  // namespace
}  // namespace quillet
