#include "app/ui/Relauncher.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(Relaunch, TheLauncherGetsTheProgramAndTheFilesAfterAnOptionStopAndItsAnswerIsReported) {
    QString program;
    QStringList arguments;
    auto launcher = [&](const QString& p, const QStringList& a) {
        program = p;
        arguments = a;
        return true;
    };
    EXPECT_TRUE(Relauncher::relaunch(launcher, "/opt/verda-pdf", {"/docs/a.pdf", "-odd name.pdf"}));
    EXPECT_EQ(program, "/opt/verda-pdf");
    EXPECT_EQ(arguments, (QStringList{"--", "/docs/a.pdf", "-odd name.pdf"}));
    EXPECT_FALSE(Relauncher::relaunch([](const QString&, const QStringList&) { return false; }, "/x", {}));
}

TEST(Relaunch, AHangingLaunchIsWaitedForOnlyUpToTheBound) {
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
    for (int waited = 0; !gate.finished && waited < 5000; ++waited) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(gate.finished);
}

}  // namespace
}  // namespace quillet
