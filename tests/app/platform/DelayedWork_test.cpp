// Delayed work runs once on the main thread after its delay, and a cancel
// that returned true is final, however the cancel and the due moment meet.
#include "app/platform/DelayedWork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QObject>

#include "app/platform/MainThread.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

class DelayedWorkTest : public ::testing::Test {
protected:
    void SetUp() override { testing::testApplication(); }
};

TEST_F(DelayedWorkTest, RunsOnceOnTheMainThreadAfterItsDelayAlsoWhenScheduledFromAWorker)
{
    int runs = 0;
    bool onMain = false;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration waited{};
    DelayedWork work = DelayedWork::schedule(40ms, [&] {
        ++runs;
        onMain = MainThread::isCurrent();
        waited = std::chrono::steady_clock::now() - start;
    });
    EXPECT_TRUE(work.isPending());
    ASSERT_TRUE(testing::pumpUntil([&] { return runs > 0; }));
    testing::pumpFor(60ms);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(onMain);
    EXPECT_GE(waited, 35ms);
    EXPECT_TRUE(work.hasRun());
    EXPECT_FALSE(work.cancel());

    std::atomic<bool> workerOnMain{false}, ran{false};
    std::thread worker([&] {
        DelayedWork::schedule(5ms, [&] {
            workerOnMain = MainThread::isCurrent();
            ran = true;
        });
    });
    worker.join();
    ASSERT_TRUE(testing::pumpUntil([&] { return ran.load(); }));
    EXPECT_TRUE(workerOnMain);
}

TEST_F(DelayedWorkTest, CancelledBeforeOrWhenAlreadyDueNeverRuns)
{
    bool early = false, due = false;
    DelayedWork first = DelayedWork::schedule(20ms, [&] { early = true; });
    EXPECT_TRUE(first.cancel());
    EXPECT_TRUE(first.cancel());  // cancelling twice is still a cancel
    DelayedWork second = DelayedWork::schedule(5ms, [&] { due = true; });
    std::this_thread::sleep_for(40ms);  // due, but the event loop has not looked yet
    EXPECT_TRUE(second.cancel());
    testing::pumpFor(80ms);
    EXPECT_FALSE(early);
    EXPECT_FALSE(due);
    EXPECT_TRUE(first.isCancelled());
}

TEST_F(DelayedWorkTest, CancelledByWorkDueAtTheSameMomentNeverRuns)
{
    bool ran = false;
    bool cancelled = false;
    DelayedWork second;
    DelayedWork first = DelayedWork::schedule(5ms, [&] { cancelled = second.cancel(); });
    second = DelayedWork::schedule(5ms, [&] { ran = true; });
    std::this_thread::sleep_for(30ms);  // both due before the loop runs either
    testing::pumpUntil([&] { return first.hasRun(); });
    testing::pumpFor(40ms);
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(ran);
}

TEST_F(DelayedWorkTest, CancelledFromAnotherThreadNeverRuns)
{
    for (int round = 0; round < 20; ++round) {
        std::atomic<bool> ran{false};
        DelayedWork work = DelayedWork::schedule(1ms, [&] { ran = true; });
        bool cancelled = false;
        std::thread canceller([&] { cancelled = work.cancel(); });
        // Either the cancel wins and the work never runs, or it ran and the cancel says so.
        testing::pumpFor(3ms);
        canceller.join();
        testing::pumpFor(10ms);
        EXPECT_NE(cancelled, ran.load()) << "round " << round;
    }
}

TEST_F(DelayedWorkTest, WorkWhoseContextIsGoneNeverRunsAndAnEmptyHandleHasNothingToCancel)
{
    bool ran = false;
    auto* context = new QObject;
    DelayedWork work = DelayedWork::schedule(5ms, [&] { ran = true; }, context);
    delete context;
    testing::pumpFor(40ms);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(work.hasRun());
    DelayedWork none;
    EXPECT_FALSE(none.cancel());
    EXPECT_FALSE(none.isPending());
    EXPECT_FALSE(DelayedWork::schedule(1ms, nullptr).isPending());
}

}  // namespace
}  // namespace quillet
