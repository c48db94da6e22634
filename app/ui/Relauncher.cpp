#include "app/ui/Relauncher.h"

#include <QProcess>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quillet::Relauncher {

namespace {

struct Acknowledgement {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool succeeded = false;
};

}  // namespace

Launch detachedProcessLauncher() {
    return [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
}

QStringList argumentsForFiles(const QStringList& files) {
    if (files.isEmpty()) {
        return {};
    }
    // "--" keeps a file whose name starts with a dash from reading as an option.
    QStringList arguments{QStringLiteral("--")};
    arguments += files;
    return arguments;
}

bool relaunch(const Launch& launch, const QString& program, const QStringList& files,
              std::chrono::milliseconds timeout) {
    if (!launch) {
        return false;
    }
    auto ack = std::make_shared<Acknowledgement>();
    // Detached: when the launch hangs, the process must still be able to end.
    std::thread([ack, launch, program, arguments = argumentsForFiles(files)] {
        const bool ok = launch(program, arguments);
        std::lock_guard lock(ack->mutex);
        ack->finished = true;
        ack->succeeded = ok;
        ack->done.notify_all();
    }).detach();
    std::unique_lock lock(ack->mutex);
    ack->done.wait_for(lock, timeout, [&ack] { return ack->finished; });
    return ack->finished && ack->succeeded;
}

}  // namespace quillet::Relauncher
