// The new version of a file, written beside it under a hidden temporary name
// (".NAME.quillet-PID-N") and renamed over it only when complete and
// flushed: the file is always either its old or its new version, also after
// a crash, a full disk or a kill, and an existing file is never truncated.
// Symbolic links to the file stay links (the real file is replaced); a file
// with several names (hard links) is refused, since a rename would leave the
// other names with the old version.
#pragma once

#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/save/FileIdentity.h"
#include "core/save/HeldFile.h"

namespace quillet {

class ReplacementFile {
  public:
    // How commit() flushes a descriptor (::fsync); tests pass one that fails,
    // since a real disk that refuses a flush cannot be had on demand.
    using SyncFunction = int (*)(int fd);

    // Resolves target's symbolic links and creates the empty temporary file
    // beside the real file. Throws FileAccessError: linked when the target
    // has more than one link, create when the temporary file cannot be made.
    explicit ReplacementFile(const std::string& target, SyncFunction sync = ::fsync);
    // Removes the temporary file unless commit() succeeded.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Where the new version is written; may be removed and created again
    // (the cloner does) as long as it stays a regular file at this path.
    const std::string& path() const { return path_; }
    // The real file that commit() replaces.
    const std::string& target() const { return target_; }

    // Flushes the new version, gives it the target's permission bits (a new
    // target gets the usual ones for a new file), checks that the target is
    // still `expected` when given (a missing target counts as changed),
    // renames the new version over it and flushes the folder. Throws
    // FileAccessError (write, changed, replace); the target is then
    // untouched, except for a failed folder flush after the rename.
    // `reached`, when given, is told each step as it is done: "synced" (the
    // new version is on disk), "checked" (the target is still `expected`,
    // the rename comes next) and "renamed" (the folder flush comes next),
    // for tests that interrupt a replacement between them.
    void commit(const std::optional<FileIdentity>& expected,
                const std::function<void(std::string_view step)>& reached = {});

    // After commit(): the version it replaced, still open, so that its space
    // is given back when the last holder drops it (this object is one)
    // rather than inside the rename. Null for a new target or one that could
    // not be opened for reading.
    std::shared_ptr<const HeldFile> replacedVersion() const { return replaced_; }

  private:
    std::string target_;
    std::string path_;
    SyncFunction sync_;
    mode_t mode_ = 0644;
    bool committed_ = false;
    std::shared_ptr<const HeldFile> replaced_;
};

}  // namespace quillet
