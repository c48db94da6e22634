// A background queue that runs its work one item at a time, in the order it was
// queued, on a thread of its own (saves, journal writes, searches). Work that
// throws is logged and the queue goes on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quillet {

class SerialQueue {
  public:
    // `name` identifies the queue in logs, e.g. "app.quillet.journal".
    explicit SerialQueue(std::string name);
    // Runs what is still queued, then stops the thread.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& name() const { return name_; }

    void async(std::function<void()> work);

    // Blocks until everything queued before the call has run. False at the
    // timeout, or when called from the queue's own work (which would wait
    // for itself forever).
    bool waitUntilIdle(std::chrono::milliseconds timeout = std::chrono::hours(24));

    // Work queued on any SerialQueue of the process and not finished yet. The
    // shell waits for it before the process ends, so that no save or journal
    // write is cut off.
    static int pendingWorkInProcess();
    static bool waitForAllQueues(std::chrono::milliseconds timeout);

  private:
    void runLoop();

    std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> work_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace quillet
