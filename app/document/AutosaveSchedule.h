// When a document saves itself: a while after the last edit, four times as
// long as the last save took, between 1.5 and 30 seconds (a fixed delay in
// self-test mode). Only the latest schedule counts: each edit pushes the
// save back, and a cancelled schedule never fires.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quillet {

class AutosaveSchedule {
  public:
    // Runs work on the main thread after a delay.
    using Clock = std::function<void(std::chrono::milliseconds delay, std::function<void()> work)>;

    static constexpr std::chrono::milliseconds minimumDelay{1500};
    static constexpr std::chrono::milliseconds maximumDelay{30000};

    AutosaveSchedule(Clock clock, std::optional<std::chrono::milliseconds> fixedDelay)
        : clock_(std::move(clock)), fixedDelay_(fixedDelay) {}

    // The delay after a save that took `lastSaveSeconds`.
    std::chrono::milliseconds delay(double lastSaveSeconds) const;
    // Runs `fire` after `delay` unless scheduled again or cancelled before.
    void schedule(std::chrono::milliseconds delay, std::function<void()> fire);
    void cancel() { ++*ticket_; }

  private:
    Clock clock_;
    std::optional<std::chrono::milliseconds> fixedDelay_;
    // Shared with the pending timers, which may outlive the schedule.
    std::shared_ptr<int64_t> ticket_ = std::make_shared<int64_t>(0);
};

}  // namespace quillet
