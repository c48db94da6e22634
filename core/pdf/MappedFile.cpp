#include "core/pdf/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/pdf/FileAccessError.h"

namespace quillet {

namespace {

// Closes the descriptor on every failure out of the constructor.
struct DescriptorGuard {
    int fd;
    ~DescriptorGuard() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

MappedFile::MappedFile(const std::filesystem::path& path) : path_(path) {
    // Non-blocking so that a FIFO at the path fails at mapping instead of
    // waiting for a writer; it has no effect on regular files.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw FileAccessError::open(path.string(), errno);
    DescriptorGuard guard{fd};

    struct stat& status = status_;
    if (::fstat(fd, &status) != 0) throw FileAccessError::open(path.string(), errno);
    // Mapping a folder would fail with a confusing "No such device".
    if (S_ISDIR(status.st_mode)) throw FileAccessError::open(path.string(), EISDIR);
    if (status.st_size < 1) throw FileAccessError::empty(path.string());
    if constexpr (sizeof(status.st_size) > sizeof(size_t)) {
        // A file larger than the address space cannot be mapped whole.
        if (static_cast<uintmax_t>(status.st_size) > SIZE_MAX) throw FileAccessError::map(path.string(), ENOMEM);
    }

    const auto size = static_cast<size_t>(status.st_size);
    void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (base == MAP_FAILED) throw FileAccessError::map(path.string(), errno);
    // Objects are read at scattered offsets; read-ahead would only waste I/O.
    ::madvise(base, size, MADV_RANDOM);

    base_ = static_cast<const char*>(base);
    size_ = size;
    fd_ = fd;
    guard.fd = -1;
}

MappedFile::~MappedFile() {
    ::munmap(const_cast<char*>(base_), size_);
    ::close(fd_);
}

}  // namespace quillet
