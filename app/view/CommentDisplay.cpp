#include "app/view/CommentDisplay.h"

#include <QSettings>
#include <mutex>
#include <optional>

#include "app/platform/DefaultsStore.h"
#include "app/platform/MainThread.h"
#include "app/platform/NotificationCenter.h"

namespace quillet::CommentDisplay {
namespace {

std::mutex lock;
std::optional<bool> value;              // guarded by lock; absent until read
QSettings* settingsOverride = nullptr;  // main thread only

QSettings& settings() {
    return settingsOverride ? *settingsOverride : DefaultsStore::shared();
}

bool readStored() {
    return settings().value(QLatin1String(defaultsKey), true).toBool();
}

}  // namespace

bool showsCommentText() {
    {
        std::lock_guard guard(lock);
        if (value) return *value;
    }
    // The defaults store is the main thread's; elsewhere the default stands
    // in until the main thread has read it.
    if (!MainThread::isCurrent()) return true;
    bool stored = readStored();
    std::lock_guard guard(lock);
    if (!value) value = stored;
    return *value;
}

void setShowsCommentText(bool show) {
    bool current = showsCommentText();
    if (current == show) return;
    {
        std::lock_guard guard(lock);
        value = show;
    }
    settings().setValue(QLatin1String(defaultsKey), show);
    NotificationCenter::shared().post(QLatin1String(NotificationName::commentsDisplayDidChange));
}

void reloadForTesting(QSettings* store) {
    settingsOverride = store;
    std::lock_guard guard(lock);
    value.reset();
}

}  // namespace quillet::CommentDisplay
