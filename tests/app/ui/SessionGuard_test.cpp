#include "app/ui/SessionGuard.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;

// One run of the application as far as the guard sees it: the bookkeeping at
// launch, then the clean-launch reset scheduled on the (fake) clock.
class CrashLoopGuard : public ::testing::Test {
protected:
    void launch()
    {
        SessionGuard::recordLaunch(*store);
        SessionGuard::scheduleCleanLaunchReset(*store, clock.scheduler());
    }
    // A launch killed after `lived`: its reset never runs.
    void killedLaunch(std::chrono::milliseconds lived = 0ms)
    {
        launch();
        clock.advance(lived);
        clock.kill();
    }

    testing::TempDir dir;
    std::unique_ptr<QSettings> store = testing::settingsIn(dir.file("store.ini"));
    FakeClock clock;
};

TEST_F(CrashLoopGuard, TwoLaunchesKilledEarlyCountTwoAndSwitchOffRestoring)
{
    killedLaunch(3s);
    killedLaunch(9s);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);
    EXPECT_FALSE(SessionGuard::ignoresPreviousState(*store));
    launch();
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 2);
    EXPECT_TRUE(SessionGuard::ignoresPreviousState(*store));
    EXPECT_TRUE(store->value(SessionGuard::sessionRunningKey).toBool());
    // The marks reach the file at once: a crash right after launch must find them.
    EXPECT_TRUE(testing::settingsIn(dir.file("store.ini"))->value(SessionGuard::sessionRunningKey).toBool());
}

TEST_F(CrashLoopGuard, ALaunchThatLivesTenSecondsClearsTheGuard)
{
    for (int i = 0; i < 3; ++i) {
        killedLaunch(1s);
    }
    launch();
    ASSERT_EQ(SessionGuard::uncleanLaunches(*store), 3);
    clock.advance(9999ms);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 3) << "cleared before ten seconds";
    clock.advance(1ms);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    EXPECT_FALSE(store->contains(SessionGuard::ignoreStateKey));
    // It crashes later all the same: the next launch counts one, not four.
    clock.advance(60s);
    launch();
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);
    EXPECT_FALSE(SessionGuard::ignoresPreviousState(*store));
}

TEST_F(CrashLoopGuard, ACleanTerminationResetsTheCountAtTheNextLaunch)
{
    killedLaunch();
    killedLaunch();
    launch();
    ASSERT_TRUE(SessionGuard::ignoresPreviousState(*store));
    SessionGuard::recordCleanTermination(*store);
    EXPECT_FALSE(store->value(SessionGuard::sessionRunningKey).toBool());
    clock.kill();
    launch();
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    EXPECT_FALSE(store->contains(SessionGuard::ignoreStateKey));
}

TEST_F(CrashLoopGuard, AGarbledCountReadsAsZeroAndAnEmptyDocumentListRemovesItsKey)
{
    store->setValue(SessionGuard::uncleanLaunchesKey, QStringLiteral("many"));
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    store->setValue(SessionGuard::uncleanLaunchesKey, -5);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    store->setValue(SessionGuard::sessionRunningKey, true);
    SessionGuard::recordLaunch(*store);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);

    SessionGuard::setSessionDocuments(*store, {QStringLiteral("/a.pdf"), QStringLiteral("/b c.pdf")});
    EXPECT_EQ(SessionGuard::sessionDocuments(*store), (QStringList{"/a.pdf", "/b c.pdf"}));
    SessionGuard::setSessionDocuments(*store, {});
    EXPECT_FALSE(store->contains(SessionGuard::sessionDocumentsKey));
}

}  // namespace
}  // namespace quillet
