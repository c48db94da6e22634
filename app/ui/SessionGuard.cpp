#include "app/ui/SessionGuard.h"

#include "app/platform/DelayedWork.h"

namespace quillet::SessionGuard {

void recordLaunch(QSettings& store, const std::function<void()>& flush) {
    if (store.value(sessionRunningKey, false).toBool()) {
        const int count = uncleanLaunches(store) + 1;
        store.setValue(uncleanLaunchesKey, count);
        if (count >= uncleanLaunchesBeforeIgnoringState) {
            store.setValue(ignoreStateKey, true);
        }
    } else {
        store.setValue(uncleanLaunchesKey, 0);
        store.remove(ignoreStateKey);
    }
    store.setValue(sessionRunningKey, true);
    // Written at once: a crash right after this must still find the mark.
    if (flush) {
        flush();
    } else {
        store.sync();
    }
}

void recordCleanLaunch(QSettings& store) {
    store.setValue(uncleanLaunchesKey, 0);
    store.remove(ignoreStateKey);
    store.sync();
}

void recordCleanTermination(QSettings& store) {
    store.setValue(sessionRunningKey, false);
    store.sync();
}

int uncleanLaunches(const QSettings& store) {
    bool ok = false;
    const int count = store.value(uncleanLaunchesKey, 0).toInt(&ok);
    return ok && count > 0 ? count : 0;
}

bool ignoresPreviousState(const QSettings& store) {
    return store.value(ignoreStateKey, false).toBool();
}

Scheduler mainThreadScheduler() {
    return [](std::chrono::milliseconds delay, std::function<void()> work) {
        DelayedWork::schedule(delay, std::move(work));
    };
}

void scheduleCleanLaunchReset(QSettings& store, const Scheduler& scheduler) {
    scheduler(std::chrono::duration_cast<std::chrono::milliseconds>(cleanLaunchDelay),
              [&store] { recordCleanLaunch(store); });
}

QStringList sessionDocuments(const QSettings& store) {
    return store.value(sessionDocumentsKey).toStringList();
}

void setSessionDocuments(QSettings& store, const QStringList& paths) {
    if (paths.isEmpty()) {
        store.remove(sessionDocumentsKey);
    } else {
        store.setValue(sessionDocumentsKey, paths);
    }
    store.sync();
}

}  // namespace quillet::SessionGuard
