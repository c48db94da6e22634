#include "app/ui/Relauncher.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(Relaunch, TheLauncherGetsTheProgramAndTheFilesAfterAnOptionStop)
{
    QString program;
    QStringList arguments;
    const bool ok = Relauncher::relaunch(
        [&](const QString& p, const QStringList& a) {
            program = p;
            arguments = a;
            return true;
        },
        "/opt/verda-pdf", {"/docs/a.pdf", "-odd name.pdf"});
    EXPECT_TRUE(ok);
    EXPECT_EQ(program, "/opt/verda-pdf");
    EXPECT_EQ(arguments, (QStringList{"--", "/docs/a.pdf", "-odd name.pdf"}));
}

TEST(Relaunch, WithoutFilesTheNewInstanceIsJustLaunched)
{
    QStringList arguments{"unchanged"};
    Relauncher::relaunch(
        [&](const QString&, const QStringList& a) {
            arguments = a;
            return true;
        },
        "/opt/verda-pdf", {});
    EXPECT_TRUE(arguments.isEmpty());
}

TEST(Relaunch, AFailedLaunchIsReportedAsNotAcknowledged)
{
    EXPECT_FALSE(Relauncher::relaunch([](const QString&, const QStringList&) { return false; }, "/x", {}));
    EXPECT_FALSE(Relauncher::relaunch(nullptr, "/x", {}));
}

TEST(Relaunch, AHangingLaunchIsWaitedForOnlyUpToTheBound)
{
    EXPECT_EQ(Relauncher::acknowledgementTimeout, 5000ms);

    // The launcher blocks until the test lets it go, long after the bound.
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        std::atomic<bool> finished{false};
    };
    static Gate gate;  // outlives the detached launch thread
    auto hanging = [](const QString&, const QStringList&) {
        std::unique_lock lock(gate.mutex);
        gate.opened.wait(lock, [] { return gate.open; });
        gate.finished = true;
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(Relauncher::relaunch(hanging, "/x", {"/a.pdf"}, 200ms));
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_LT(clock.elapsed(), 3000);

    {
        std::lock_guard lock(gate.mutex);
        gate.open = true;
    }
    gate.opened.notify_all();
    QElapsedTimer wait;
    wait.start();
    while (!gate.finished && wait.elapsed() < 5000) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(gate.finished);
}

}  // namespace
}  // namespace quillet
