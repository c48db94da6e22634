#include "core/save/PathLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/pdf/Crypto.h"
#include "core/pdf/FileAccessError.h"

namespace quillet {
namespace {

constexpr std::chrono::milliseconds kPollInterval{25};

std::string hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

std::filesystem::path lockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') return runtime;
    std::error_code ignored;
    return std::filesystem::temp_directory_path(ignored);
}

// Read-only is enough for flock, and lets another user of a shared
// temporary folder lock the same file. An existing file is opened without
// O_CREAT, which sticky world-writable folders refuse for files of others.
int openLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::string PathLock::lockFileFor(const std::string& resolvedPath) {
    return (lockFolder() / ("quillet-" + hex(crypto::sha256(resolvedPath)) + ".lock")).string();
}

PathLock PathLock::acquire(const std::string& resolvedPath, std::chrono::milliseconds wait) {
    const std::string lockFile = lockFileFor(resolvedPath);
    const int fd = openLockFile(lockFile);
    if (fd < 0) throw FileAccessError::open(lockFile, errno);
    PathLock lock(fd);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return lock;
        if (errno != EWOULDBLOCK && errno != EINTR) throw FileAccessError::open(lockFile, errno);
        if (std::chrono::steady_clock::now() >= deadline) throw FileAccessError::busy(resolvedPath);
        std::this_thread::sleep_for(kPollInterval);
    }
}

PathLock& PathLock::operator=(PathLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

PathLock::~PathLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace quillet
