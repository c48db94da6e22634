// SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C in a terminal, `kill`) end the
// run the way Quit does, so documents close properly and the session is
// marked as ended cleanly instead of counting as a crash at the next launch.
#pragma once

#include <functional>

class QObject;

namespace quillet::TerminationSignals {

// Calls `quit` on the main thread for each of those signals, while `context`
// lives. Call once, on the main thread, after the application object exists.
// False when the signals could not be routed (they then end the process as
// before).
bool install(QObject* context, std::function<void()> quit);

}  // namespace quillet::TerminationSignals
