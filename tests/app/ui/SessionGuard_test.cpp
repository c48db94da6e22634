#include "app/ui/SessionGuard.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;

class CrashLoopGuard : public ::testing::Test {
  protected:
    void launch() {
        SessionGuard::recordLaunch(*store);
        SessionGuard::scheduleCleanLaunchReset(*store, clock.scheduler());
    }
    void killedLaunch(std::chrono::milliseconds lived = 0ms) {
        launch();
        clock.advance(lived);
        clock.kill();
    }

    testing::TempDir dir;
    std::unique_ptr<QSettings> store = testing::settingsIn(dir.file("store.ini"));
    FakeClock clock;
};

TEST_F(CrashLoopGuard, TwoLaunchesKilledEarlySwitchOffRestoringUntilALaunchLivesTenSeconds) {
    killedLaunch(3s);
    killedLaunch(9s);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);
    EXPECT_FALSE(SessionGuard::ignoresPreviousState(*store));
    launch();
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 2);
    EXPECT_TRUE(SessionGuard::ignoresPreviousState(*store));
    // The marks reach the file at once: a crash right after launch must find them.
    EXPECT_TRUE(testing::settingsIn(dir.file("store.ini"))->value(SessionGuard::sessionRunningKey).toBool());

    clock.advance(9999ms);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 2) << "cleared before ten seconds";
    clock.advance(1ms);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    EXPECT_FALSE(store->contains(SessionGuard::ignoreStateKey));
}

}  // namespace
}  // namespace quillet
