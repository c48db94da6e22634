// An exclusive lock on one file's path, held by every program of ours that
// replaces that file (the quillet tool's in-place writes and the
// application's saves): a second writer waits for the first instead of
// renaming its own version over it. The lock is an flock on a small file
// named by the SHA-256 digest of the resolved path, in the user's runtime
// folder ($XDG_RUNTIME_DIR, else the temporary folder); the lock files stay
// there, since removing one could let two writers lock different files.
#pragma once

#include <chrono>
#include <string>

namespace quillet {

class PathLock {
  public:
    // resolvedPath: symbolic links already resolved, so that every name of
    // the file takes the same lock. Waits up to `wait` for another holder.
    // Throws FileAccessError: busy when the wait runs out, open when the
    // lock file cannot be opened.
    static PathLock acquire(const std::string& resolvedPath, std::chrono::milliseconds wait);

    // The lock file for a path (tests, messages).
    static std::string lockFileFor(const std::string& resolvedPath);

    PathLock(PathLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    PathLock& operator=(PathLock&& other) noexcept;
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;
    // Releases the lock.
    ~PathLock();

  private:
    explicit PathLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace quillet
