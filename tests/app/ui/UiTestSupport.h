// Shared by the shell and window tests: one widget application per test
// process (offscreen unless the caller chose a platform), an event-loop pump,
// an in-file defaults store, and a scripted fake clock for delayed work.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>

#include "app/ui/SessionGuard.h"

namespace quillet::testing {

inline QApplication& uiTestApplication()
{
    static int argc = 1;
    static char name[] = "ui-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Runs the event loop until `done` holds or `limit` passes; returns `done()`.
inline bool pumpEventsUntil(const std::function<bool()>& done,
                            std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    uiTestApplication();
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

inline void pumpEventsFor(std::chrono::milliseconds span)
{
    pumpEventsUntil([] { return false; }, span);
}

inline std::unique_ptr<QSettings> settingsIn(const std::filesystem::path& file)
{
    return std::make_unique<QSettings>(QString::fromStdString(file.string()), QSettings::IniFormat);
}

// Delayed work that runs only when the test moves the clock past its time.
class FakeClock {
public:
    SessionGuard::Scheduler scheduler()
    {
        return [this](std::chrono::milliseconds delay, std::function<void()> work) {
            pending_.emplace_back(now_ + delay, std::move(work));
        };
    }

    void advance(std::chrono::milliseconds span)
    {
        now_ += span;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->first <= now_) {
                auto work = std::move(it->second);
                it = pending_.erase(it);
                work();
            } else {
                ++it;
            }
        }
    }

    // A process killed now: its pending work never runs.
    void kill() { pending_.clear(); }

    size_t pendingCount() const { return pending_.size(); }

private:
    std::chrono::milliseconds now_{0};
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> pending_;
};

}  // namespace quillet::testing
