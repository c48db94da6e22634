#include "core/save/ReplacementFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "core/pdf/FileAccessError.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> temporaryCounter{0};

std::string resolved(const std::string& target) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(fs::absolute(target, ec), ec);
    return ec ? fs::absolute(target).string() : real.string();
}

std::string folderOf(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

void syncDescriptor(ReplacementFile::SyncFunction sync, int fd, const std::string& path) {
    int error = sync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) throw FileAccessError::write(path, error);
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target, SyncFunction sync)
    : target_(resolved(target)), sync_(sync) {
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && existing.st_nlink > 1)
        throw FileAccessError::linked(target_, static_cast<int32_t>(existing.st_nlink));

    const fs::path real(target_);
    for (;;) {
        path_ = (real.parent_path() / ("." + real.filename().string() + ".quillet-" +
                                       std::to_string(::getpid()) + "-" + std::to_string(temporaryCounter++)))
                    .string();
        // Created with the usual mode of a new file, which is read back for a
        // new target, then kept private while it is written.
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) throw FileAccessError::create(folderOf(target_), errno);
        struct stat created {};
        ::fstat(fd, &created);
        mode_ = (exists ? existing.st_mode : created.st_mode) & 07777;
        ::fchmod(fd, 0600);
        ::close(fd);
        return;
    }
}

ReplacementFile::~ReplacementFile() {
    if (!committed_) ::unlink(path_.c_str());
}

void ReplacementFile::commit(const std::optional<FileIdentity>& expected,
                             const std::function<void(std::string_view step)>& reached) {
    auto step = [&](std::string_view name) {
        if (reached) reached(name);
    };
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) throw FileAccessError::open(path_, errno);
    if (::fchmod(fd, mode_) != 0) {
        const int error = errno;
        ::close(fd);
        throw FileAccessError::write(path_, error);
    }
    syncDescriptor(sync_, fd, path_);
    step("synced");

    if (expected && FileIdentity::ofPath(target_) != expected) throw FileAccessError::changed(target_);
    step("checked");
    replaced_ = HeldFile::open(target_);
    if (::rename(path_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        replaced_.reset();
        throw FileAccessError::replace(target_, error);
    }
    committed_ = true;
    step("renamed");

    const std::string folder = folderOf(target_);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) throw FileAccessError::write(folder, errno);
    syncDescriptor(sync_, folderFd, folder);
}

}  // namespace quillet
