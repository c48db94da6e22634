#include "app/platform/DelayedWork.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(DelayedWorkTest, CancelledBeforeOrWhenAlreadyDueNeverRuns) {
    testing::testApplication();
    bool early = false, due = false;
    DelayedWork first = DelayedWork::schedule(20ms, [&] { early = true; });
    EXPECT_TRUE(first.cancel());
    DelayedWork second = DelayedWork::schedule(5ms, [&] { due = true; });
    std::this_thread::sleep_for(40ms);  // due, but the event loop has not looked yet
    EXPECT_TRUE(second.cancel());
    testing::pumpFor(80ms);
    EXPECT_FALSE(early);
    EXPECT_FALSE(due);
}

TEST(DelayedWorkTest, CancelledByWorkDueAtTheSameMomentNeverRuns) {
    testing::testApplication();
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

}  // namespace
}  // namespace quillet
