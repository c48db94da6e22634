#include "app/document/AutosaveSchedule.h"

#include <algorithm>

namespace quillet {

std::chrono::milliseconds AutosaveSchedule::delay(double lastSaveSeconds) const {
    if (fixedDelay_) {
        return *fixedDelay_;
    }
    const auto adaptive = std::chrono::milliseconds(static_cast<int64_t>(lastSaveSeconds * 4 * 1000));
    return std::clamp(adaptive, minimumDelay, maximumDelay);
}

void AutosaveSchedule::schedule(std::chrono::milliseconds delay, std::function<void()> fire) {
    const int64_t mine = ++*ticket_;
    clock_(delay, [ticket = std::weak_ptr<int64_t>(ticket_), mine, fire = std::move(fire)] {
        const std::shared_ptr<int64_t> current = ticket.lock();
        if (current && *current == mine) {
            fire();
        }
    });
}

}  // namespace quillet
