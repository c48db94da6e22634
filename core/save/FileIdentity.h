// Which file a path or descriptor names, and in which state: the file being
// replaced must still be the one that was read (same device and inode, same
// size and modification time), or another program changed it meanwhile.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>

namespace quillet {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec mtime{};

    static FileIdentity ofStatus(const struct stat& status);
    // Absent when the descriptor cannot be queried.
    static std::optional<FileIdentity> ofDescriptor(int fd);
    // Follows symbolic links; absent when nothing is there.
    static std::optional<FileIdentity> ofPath(const std::string& path);

    // The same file, unchanged.
    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec;
    }
};

}  // namespace quillet
