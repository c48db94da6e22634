#include "app/ui/SessionGuard.h"

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;

// One run of the application as far as the guard sees it: the bookkeeping at
// launch, then the clean-launch reset scheduled on the (fake) clock.
void launch(QSettings& store, FakeClock& clock)
{
    SessionGuard::recordLaunch(store);
    SessionGuard::scheduleCleanLaunchReset(store, clock.scheduler());
}

TEST(CrashLoopGuard, TwoLaunchesKilledEarlyCountTwoAndSwitchOffRestoring)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    FakeClock clock;

    launch(*store, clock);
    clock.advance(3s);
    clock.kill();
    launch(*store, clock);
    clock.advance(9s);
    clock.kill();
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);
    EXPECT_FALSE(SessionGuard::ignoresPreviousState(*store));

    launch(*store, clock);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 2);
    EXPECT_TRUE(SessionGuard::ignoresPreviousState(*store));
    EXPECT_TRUE(store->value(SessionGuard::sessionRunningKey).toBool());
}

TEST(CrashLoopGuard, ALaunchThatLivesTenSecondsClearsTheGuard)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    FakeClock clock;
    for (int i = 0; i < 3; ++i) {
        launch(*store, clock);
        clock.advance(1s);
        clock.kill();
    }
    launch(*store, clock);
    ASSERT_EQ(SessionGuard::uncleanLaunches(*store), 3);

    clock.advance(9999ms);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 3) << "cleared before ten seconds";
    clock.advance(1ms);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    EXPECT_FALSE(store->contains(SessionGuard::ignoreStateKey));

    // It crashes later all the same: the next launch counts one, not four.
    clock.advance(60s);
    launch(*store, clock);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);
    EXPECT_FALSE(SessionGuard::ignoresPreviousState(*store));
}

TEST(CrashLoopGuard, ACleanTerminationResetsTheCountAtTheNextLaunch)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    FakeClock clock;
    launch(*store, clock);
    clock.kill();
    launch(*store, clock);
    clock.kill();
    launch(*store, clock);
    ASSERT_TRUE(SessionGuard::ignoresPreviousState(*store));

    SessionGuard::recordCleanTermination(*store);
    EXPECT_FALSE(store->value(SessionGuard::sessionRunningKey).toBool());
    clock.kill();
    launch(*store, clock);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    EXPECT_FALSE(store->contains(SessionGuard::ignoreStateKey));
}

TEST(CrashLoopGuard, TheMarksReachTheFileAtOnce)
{
    // A crash right after launch must find the session marked running, so the
    // bookkeeping cannot wait for a later flush.
    testing::TempDir dir;
    {
        auto store = testing::settingsIn(dir.file("store.ini"));
        SessionGuard::recordLaunch(*store);
        auto other = testing::settingsIn(dir.file("store.ini"));
        EXPECT_TRUE(other->value(SessionGuard::sessionRunningKey).toBool());
    }
}

TEST(CrashLoopGuard, AGarbledCountReadsAsZero)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    store->setValue(SessionGuard::uncleanLaunchesKey, QStringLiteral("many"));
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    store->setValue(SessionGuard::uncleanLaunchesKey, -5);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    store->setValue(SessionGuard::sessionRunningKey, true);
    SessionGuard::recordLaunch(*store);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 1);
}

TEST(SessionDocuments, AnEmptyListRemovesTheKey)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    SessionGuard::setSessionDocuments(*store, {QStringLiteral("/a.pdf"), QStringLiteral("/b c.pdf")});
    EXPECT_EQ(SessionGuard::sessionDocuments(*store), (QStringList{"/a.pdf", "/b c.pdf"}));
    SessionGuard::setSessionDocuments(*store, {});
    EXPECT_FALSE(store->contains(SessionGuard::sessionDocumentsKey));
    EXPECT_TRUE(SessionGuard::sessionDocuments(*store).isEmpty());
}

}  // namespace
}  // namespace quillet
