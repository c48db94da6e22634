// Starting a new instance of the application, for the restart after a change
// of language. The launch itself is a seam (tests observe what would be
// started); the terminating process waits a bounded time for it.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>

namespace quillet::Relauncher {

// How long the terminating process waits for the new instance to be started.
inline constexpr std::chrono::milliseconds acknowledgementTimeout{5000};

// Starts `program` with `arguments` as a new, independent process; true when
// it was started.
using Launch = std::function<bool(const QString& program, const QStringList& arguments)>;
Launch detachedProcessLauncher();

// The arguments that make a new instance open `files` (none: just launch).
QStringList argumentsForFiles(const QStringList& files);

// Runs `launch` on a helper thread and waits for it at most `timeout`. True
// when the launch reported success in time; a launch that is still busy at the
// timeout is left to finish (or not) on its own.
bool relaunch(const Launch& launch, const QString& program, const QStringList& files,
              std::chrono::milliseconds timeout = acknowledgementTimeout);

}  // namespace quillet::Relauncher
