#include "core/pdf/FileCloner.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "core/pdf/FileAccessError.h"

namespace quillet {

namespace {

// How often the attribute list or a value is fetched again when it grew
// between asking for its size and reading it.
constexpr int kXattrRetryLimit = 8;
constexpr size_t kCopyChunk = size_t{1} << 20;

// Writes everything, going on after partial writes and signals. Returns 0 or
// the errno of the failure.
int writeAll(const FileClonerCalls& calls, int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = calls.write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        // A write that makes no progress would otherwise spin for ever.
        if (n == 0) return EIO;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// The kernel's in-kernel copy; 0 when done, -1 when the file systems cannot
// do it (the caller falls back to reading and writing), else the errno.
int copyInKernel(const FileClonerCalls& calls, int source, int destination, off_t& offset) {
    for (;;) {
        off_t out = offset;
        const ssize_t n = calls.copyRange(source, &offset, destination, &out, kCopyChunk);
        if (n == 0) return 0;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) return -1;
        return errno;
    }
}

int copyByReading(const FileClonerCalls& calls, int source, int destination, off_t offset) {
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        const ssize_t n = ::pread(source, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (::lseek(destination, offset, SEEK_SET) < 0) return errno;
        if (const int error = writeAll(calls, destination, buffer.data(), static_cast<size_t>(n)))
            return error;
        offset += n;
    }
}

int copyData(const FileClonerCalls& calls, int source, int destination) {
    off_t offset = 0;
    const int result = copyInKernel(calls, source, destination, offset);
    return result >= 0 ? result : copyByReading(calls, source, destination, offset);
}

int cloneOrCopyData(const FileClonerCalls& calls, int source, int destination, CloneMethod method) {
    if (method == CloneMethod::copyOnly) return copyData(calls, source, destination);
    if (calls.reflink(destination, source) == 0) return 0;
    const int error = errno;
    if (method == CloneMethod::reflinkOnly) return error;
    // Whatever the clone left behind is discarded before the copy.
    if (::ftruncate(destination, 0) != 0) return errno;
    return copyData(calls, source, destination);
}

// Reads a size-then-fill list or value; ERANGE means it grew in between.
template <typename Fetch>
int fetchGrowing(std::vector<char>& out, Fetch fetch) {
    for (int attempt = 0; attempt < kXattrRetryLimit; ++attempt) {
        const ssize_t size = fetch(nullptr, 0);
        if (size < 0) return errno;
        out.resize(static_cast<size_t>(size));
        const ssize_t got = fetch(out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<size_t>(got));
            return 0;
        }
        if (errno != ERANGE) return errno;
    }
    return ERANGE;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Attributes the destination cannot take: its file system has no such
// namespace, or only a privileged process may set it (security.*, trusted.*).
bool isUncopyable(std::string_view name, int error) {
    if (error == ENOTSUP || error == EOPNOTSUPP) return true;
    return error == EPERM && !startsWith(name, "user.") && !startsWith(name, "system.posix_acl_");
}

int copyAttribute(int source, int destination, const std::string& name) {
    std::vector<char> value;
    const int error = fetchGrowing(
        value, [&](char* buffer, size_t size) { return ::fgetxattr(source, name.c_str(), buffer, size); });
    if (error == ENODATA) return 0;  // removed meanwhile
    if (error != 0) return error;
    if (::fsetxattr(destination, name.c_str(), value.data(), value.size(), 0) == 0) return 0;
    return isUncopyable(name, errno) ? 0 : errno;
}

// Extended attributes, which include the access-control lists
// (system.posix_acl_access and system.posix_acl_default).
int copyAttributes(int source, int destination) {
    std::vector<char> names;
    const int error =
        fetchGrowing(names, [&](char* buffer, size_t size) { return ::flistxattr(source, buffer, size); });
    if (error == ENOTSUP || error == EOPNOTSUPP) return 0;
    if (error != 0) return error;
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        if (const int failed = copyAttribute(source, destination, name)) return failed;
    }
    return 0;
}

// Attributes first: setting an ACL adjusts the mode, which fchmod then sets
// exactly; timestamps last, since every other step touches them. The owner
// keeps read and write: a clone is where an update is appended next (a
// read-only source would make that fail), and whoever puts it in place
// gives it its final mode.
int copyMetadata(int source, int destination, const struct stat& status) {
    if (const int error = copyAttributes(source, destination)) return error;
    if (::fchmod(destination, (status.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0) return errno;
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::futimens(destination, times) != 0) return errno;
    return 0;
}

struct SourceFile {
    int fd = -1;
    struct stat status {};
    ~SourceFile() {
        if (fd >= 0) ::close(fd);
    }
};

void openSource(const std::filesystem::path& source, SourceFile& file) {
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(source, ec);
    if (ec) throw FileAccessError::open(source.string(), ec.value());
    file.fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (file.fd < 0) throw FileAccessError::open(source.string(), errno);
    if (::fstat(file.fd, &file.status) != 0) throw FileAccessError::open(source.string(), errno);
    if (S_ISDIR(file.status.st_mode)) throw FileAccessError::open(source.string(), EISDIR);
    if (!S_ISREG(file.status.st_mode)) throw FileAccessError::open(source.string(), EINVAL);
}

void removeExisting(const std::filesystem::path& destination) {
    if (::unlink(destination.c_str()) == 0 || errno == ENOENT) return;
    throw std::filesystem::filesystem_error("cannot remove", destination,
                                            std::error_code(errno, std::generic_category()));
}

}  // namespace

FileClonerCalls FileClonerCalls::system() {
    FileClonerCalls calls;
    calls.write = [](int fd, const void* data, size_t size) { return ::write(fd, data, size); };
    calls.fsync = [](int fd) { return ::fsync(fd); };
    calls.close = [](int fd) { return ::close(fd); };
    calls.reflink = [](int destination, int source) { return ::ioctl(destination, FICLONE, source); };
    calls.copyRange = [](int source, off_t* sourceOffset, int destination, off_t* destinationOffset,
                         size_t size) {
        return ::copy_file_range(source, sourceOffset, destination, destinationOffset, size, 0);
    };
    return calls;
}

namespace FileCloner {

void clone(const std::filesystem::path& source, const std::filesystem::path& destination, CloneMethod method,
           const FileClonerCalls& calls) {
    // The source is opened before anything is removed: a missing source
    // leaves the destination alone, and cloning a file onto its own path
    // still reads the open data instead of losing it.
    SourceFile from;
    openSource(source, from);
    clone(from.fd, destination, method, calls);
}

void clone(int source, const std::filesystem::path& destination, CloneMethod method,
           const FileClonerCalls& calls) {
    struct stat status {};
    if (::fstat(source, &status) != 0) throw FileAccessError::open(destination.string(), errno);
    removeExisting(destination);
    // O_EXCL and O_NOFOLLOW: a link or file that appeared since the removal
    // is an error, never something written through.
    const int to = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (to < 0) throw FileAccessError::open(destination.string(), errno);
    int error = cloneOrCopyData(calls, source, to, method);
    if (error == 0) error = copyMetadata(source, to, status);
    if (calls.close(to) != 0 && error == 0) error = errno;
    if (error != 0) {
        // A partial copy must not be mistaken for the document.
        ::unlink(destination.c_str());
        throw FileAccessError::write(destination.string(), error);
    }
}

void appendDurably(std::string_view bytes, const std::filesystem::path& destination,
                   const FileClonerCalls& calls) {
    const int fd = ::open(destination.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) throw FileAccessError::open(destination.string(), errno);
    int error = writeAll(calls, fd, bytes.data(), bytes.size());
    // On Linux fsync is the full flush: it also empties the device's cache.
    if (error == 0 && calls.fsync(fd) != 0) error = errno;
    // A failed close can be the first report of lost write-back data.
    if (calls.close(fd) != 0 && error == 0) error = errno;
    if (error != 0) throw FileAccessError::write(destination.string(), error);
}

}  // namespace FileCloner
}  // namespace quillet
