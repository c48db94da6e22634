#include "cli/AtomicOutput.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace quillet::cli {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
    throw std::system_error(error, std::generic_category(), what + " " + path.string());
}

// Same file by identity (device and inode), not by spelling: a symbolic
// link, a hard link or a bind mount can all name the file being read.
bool sameFile(const fs::path& in, const fs::path& out) {
    std::error_code ec;
    return fs::exists(out, ec) && fs::equivalent(in, out, ec) && !ec;
}

fs::path realPath(const fs::path& path) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    return ec ? fs::absolute(path) : real;
}

// A fresh, empty file beside `target`, on its file system so that rename is
// atomic. Hidden, and named after the target so a leftover is recognisable.
fs::path createTemporaryBeside(const fs::path& target) {
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".quillet-XXXXXX")).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0) fail("cannot create a temporary file in", target.parent_path(), errno);
    close(fd);
    return pattern;
}

void syncPath(const fs::path& path, int flags) {
    int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) fail("cannot open", path, errno);
    if (fsync(fd) != 0) {
        int error = errno;
        close(fd);
        fail("cannot sync", path, error);
    }
    if (close(fd) != 0) fail("cannot close", path, errno);
}

}  // namespace

AtomicOutput::AtomicOutput(const fs::path& in, const fs::path& out) {
    replaces_ = sameFile(in, out);
    if (!replaces_) {
        destination_ = target_ = out;
        return;
    }
    target_ = realPath(out);
    destination_ = createTemporaryBeside(target_);
}

AtomicOutput::~AtomicOutput() {
    if (replaces_ && !committed_) {
        std::error_code ignored;
        fs::remove(destination_, ignored);
    }
}

void AtomicOutput::commit() {
    syncPath(destination_, O_RDONLY);
    if (replaces_ && rename(destination_.c_str(), target_.c_str()) != 0)
        fail("cannot replace", target_, errno);
    committed_ = true;
    fs::path folder = realPath(target_).parent_path();
    syncPath(folder.empty() ? fs::path(".") : folder, O_RDONLY | O_DIRECTORY);
}

}  // namespace quillet::cli
