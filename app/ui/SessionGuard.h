// The crash-loop guard. Each launch notes that a session is running; a launch
// that finds the previous session still marked running counts as unclean, and
// from the second unclean launch in a row the previous session's documents are
// no longer reopened, so a document that crashes the application on opening
// cannot trap the user in a loop. A run that lives cleanLaunchDelay clears the
// count, so only launches that die early accumulate.
#pragma once

#include <QSettings>
#include <QStringList>
#include <chrono>
#include <functional>

namespace quillet::SessionGuard {

inline constexpr char sessionRunningKey[] = "QuilletSessionRunning";
inline constexpr char uncleanLaunchesKey[] = "QuilletUncleanLaunches";
// Set while restoring the previous session is switched off.
inline constexpr char ignoreStateKey[] = "ApplePersistenceIgnoreState";
// The documents open in the session, reopened at the next launch when it is
// started without files and restoring is not switched off.
inline constexpr char sessionDocumentsKey[] = "QuilletSessionDocuments";

inline constexpr std::chrono::seconds cleanLaunchDelay{10};
inline constexpr int uncleanLaunchesBeforeIgnoringState = 2;

// Before the application object exists: counts an unclean previous run (or
// resets the count after a clean one) and marks this session as running,
// then flushes the store to disk (`flush`; store.sync() when empty), so that
// a crash after it still finds the marks.
void recordLaunch(QSettings& store, const std::function<void()>& flush = {});
// The run has lived long enough: it no longer counts towards a crash loop.
void recordCleanLaunch(QSettings& store);
// At termination: the session ended cleanly.
void recordCleanTermination(QSettings& store);

int uncleanLaunches(const QSettings& store);
bool ignoresPreviousState(const QSettings& store);

// Runs `work` after `delay` on the main thread; a seam so tests can drive
// time by hand.
using Scheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> work)>;
Scheduler mainThreadScheduler();
// Schedules recordCleanLaunch(store) cleanLaunchDelay from now. The store must
// outlive the delay (the process's shared store does).
void scheduleCleanLaunchReset(QSettings& store, const Scheduler& scheduler);

QStringList sessionDocuments(const QSettings& store);
void setSessionDocuments(QSettings& store, const QStringList& paths);

}  // namespace quillet::SessionGuard
