#include "core/save/FileIdentity.h"

namespace quillet {

FileIdentity FileIdentity::ofStatus(const struct stat& status) {
    return {status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

std::optional<FileIdentity> FileIdentity::ofDescriptor(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::nullopt;
    return ofStatus(status);
}

std::optional<FileIdentity> FileIdentity::ofPath(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return ofStatus(status);
}

}  // namespace quillet
