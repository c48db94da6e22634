// Work that runs once on the main thread after a delay unless it is cancelled
// first. Cancelling is a promise: once cancel() returns true the work never
// runs, also when it was already due and only waiting for the event loop, and
// also when the cancel comes from another thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QObject;

namespace quillet {

class DelayedWork {
  public:
    // An empty handle: nothing scheduled, cancel() is false.
    DelayedWork() = default;

    // Schedules `work` on the main thread after `delay`. Callable from any thread
    // (from another thread the timer starts once the main thread gets to it).
    // With a `context` (a main-thread object) the work is also dropped when the
    // context is destroyed first. Dropping the handle does not cancel.
    static DelayedWork schedule(std::chrono::milliseconds delay, std::function<void()> work,
                                QObject* context = nullptr);

    // True when the work will never run; false when it has run or is running
    // now, or when the handle is empty.
    bool cancel() const;

    bool isPending() const;
    bool isCancelled() const;
    bool hasRun() const;

    struct State;

  private:
    explicit DelayedWork(std::shared_ptr<State> state) : state_(std::move(state)) {}

    std::shared_ptr<State> state_;
};

}  // namespace quillet
