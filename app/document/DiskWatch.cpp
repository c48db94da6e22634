#include "app/document/DiskWatch.h"

#include <QFileInfo>
#include <QPointer>

namespace quillet {

DiskWatch::DiskWatch(Clock clock, std::function<void()> changed)
    : clock_(std::move(clock)), changed_(std::move(changed)) {
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
        QPointer<DiskWatch> self(this);
        clock_(settleDelay, [self] {
            if (self) {
                self->settled();
            }
        });
    });
}

void DiskWatch::watch(const QString& path) {
    stop();
    path_ = path;
    if (QFileInfo::exists(path_)) {
        watcher_.addPath(path_);
    }
}

void DiskWatch::stop() {
    path_.clear();
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
}

void DiskWatch::settled() {
    if (path_.isEmpty()) {
        return;
    }
    if (!watcher_.files().contains(path_)) {
        watch(path_);
    }
    changed_();
}

}  // namespace quillet
