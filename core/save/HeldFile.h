// A file kept open after its last name is gone. Replacing a large file hands
// the old version's blocks back to the file system, and on file systems that
// discard freed blocks at once (ext4 mounted with "discard") that takes a
// good part of a second for a gigabyte, inside the rename or the folder
// flush that follows it. Holding the old version open moves that work to the
// moment the last holder lets go, after the save has been reported.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/save/FileIdentity.h"

namespace quillet {

class HeldFile {
  public:
    // Absent when the file cannot be opened for reading: nothing is held and
    // replacing it simply releases its space at once.
    static std::shared_ptr<const HeldFile> open(const std::string& path);

    explicit HeldFile(int fd) : fd_(fd) {}
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    std::optional<FileIdentity> identity() const { return FileIdentity::ofDescriptor(fd_); }

  private:
    int fd_;
};

}  // namespace quillet
