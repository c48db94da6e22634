// Running work on the main thread, where every window, timer, store mutation
// and notification handler of the application lives.
#pragma once

#include <functional>

class QObject;

namespace quillet::MainThread {

// True on the thread of the Qt application object (false before it exists).
bool isCurrent();

// Queues `work` to run on the main thread after the current event has been
// handled, also when called on the main thread; work posted from one thread runs
// in the order it was posted. With a `context` (a main-thread object that the
// caller keeps alive while posting) the work is dropped if the context is
// destroyed first. False, and nothing runs, when no application object exists.
bool post(std::function<void()> work, QObject* context = nullptr);

}  // namespace quillet::MainThread
