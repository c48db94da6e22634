// Watches the user's file for another program's writes. Such writes come in
// steps, so a change is reported once they have settled; a file replaced by
// a rename is a new file and is watched again.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

namespace quillet {

class DiskWatch : public QObject {
  public:
    using Clock = std::function<void(std::chrono::milliseconds delay, std::function<void()> work)>;

    static constexpr std::chrono::milliseconds settleDelay{500};

    // `changed` runs on the main thread after each settled change.
    DiskWatch(Clock clock, std::function<void()> changed);

    // Watches `path` from now on (nothing while it does not exist).
    void watch(const QString& path);
    void stop();

  private:
    void settled();

    Clock clock_;
    std::function<void()> changed_;
    QString path_;
    QFileSystemWatcher watcher_;
};

}  // namespace quillet
