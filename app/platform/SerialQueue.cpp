#include "app/platform/SerialQueue.h"

#include <exception>
#include <new>

#include "app/platform/PlatformLog.h"

namespace quillet {

namespace {

struct ProcessWork {
    std::mutex mutex;
    std::condition_variable idle;
    int pending = 0;
};

ProcessWork& processWork() {
    static ProcessWork shared;
    return shared;
}

void countStarted() {
    ProcessWork& p = processWork();
    std::lock_guard lock(p.mutex);
    ++p.pending;
}

void countFinished() {
    ProcessWork& p = processWork();
    std::lock_guard lock(p.mutex);
    if (--p.pending == 0) {
        p.idle.notify_all();
    }
}

}  // namespace

SerialQueue::SerialQueue(std::string name) : name_(std::move(name)) {
    thread_ = std::thread([this] { runLoop(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SerialQueue::async(std::function<void()> work) {
    if (!work) {
        return;
    }
    countStarted();
    {
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
    }
    wake_.notify_one();
}

bool SerialQueue::waitUntilIdle(std::chrono::milliseconds timeout) {
    if (std::this_thread::get_id() == thread_.get_id()) {
        return false;
    }
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return work_.empty() && !busy_; });
}

int SerialQueue::pendingWorkInProcess() {
    ProcessWork& p = processWork();
    std::lock_guard lock(p.mutex);
    return p.pending;
}

bool SerialQueue::waitForAllQueues(std::chrono::milliseconds timeout) {
    ProcessWork& p = processWork();
    std::unique_lock lock(p.mutex);
    return p.idle.wait_for(lock, timeout, [&p] { return p.pending == 0; });
}

void SerialQueue::runLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !work_.empty(); });
        if (work_.empty()) {
            return;  // stopping, and everything queued has run
        }
        std::function<void()> next = std::move(work_.front());
        work_.pop_front();
        busy_ = true;
        lock.unlock();
        try {
            next();
        } catch (const std::bad_alloc&) {
            throw;  // not a failure of this work to report and go on from
        } catch (const std::exception& e) {
            logLine(name_ + ": work failed: " + e.what());
        } catch (...) {
            logLine(name_ + ": work failed with an unknown exception");
        }
        next = nullptr;  // release the captures before reporting idle
        countFinished();
        lock.lock();
        busy_ = false;
        if (work_.empty()) {
            idle_.notify_all();
        }
    }
}

}  // namespace quillet
