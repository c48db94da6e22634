#include "app/platform/DelayedWork.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <atomic>

#include "app/platform/MainThread.h"

namespace quillet {

namespace {

enum Phase : int { pending, running, done, cancelled };

}  // namespace

struct DelayedWork::State {
    std::atomic<int> phase{pending};
    std::function<void()> work;  // touched on the main thread only

    // The only place that decides between running and cancelling: whichever of
    // fire() and cancel() leaves `pending` first wins.
    void fire() {
        int expected = pending;
        if (phase.compare_exchange_strong(expected, running)) {
            work();
            phase.store(done);
        }
        work = nullptr;
    }
};

DelayedWork DelayedWork::schedule(std::chrono::milliseconds delay, std::function<void()> work,
                                  QObject* context) {
    auto state = std::make_shared<State>();
    state->work = std::move(work);
    if (!state->work) {
        state->phase.store(cancelled);
        return DelayedWork(state);
    }
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard(context);
    auto start = [state, delay, hasContext, guard] {
        QObject* receiver = hasContext ? guard.data() : QCoreApplication::instance();
        if (receiver == nullptr) {
            state->phase.store(cancelled);
            return;
        }
        QTimer::singleShot(delay, receiver, [state] { state->fire(); });
    };
    if (MainThread::isCurrent()) {
        start();
    } else if (!MainThread::post(start)) {
        state->phase.store(cancelled);
    }
    return DelayedWork(state);
}

bool DelayedWork::cancel() const {
    if (!state_) {
        return false;
    }
    int expected = pending;
    return state_->phase.compare_exchange_strong(expected, cancelled) || expected == cancelled;
}

bool DelayedWork::isPending() const {
    return state_ && state_->phase.load() == pending;
}

bool DelayedWork::isCancelled() const {
    return state_ && state_->phase.load() == cancelled;
}

bool DelayedWork::hasRun() const {
    return state_ && state_->phase.load() == done;
}

}  // namespace quillet
