// The destination of a subcommand that writes OUT from IN. When OUT is IN
// itself (the same file, however it is reached: the same path, a symbolic
// link, a hard link), writing there directly would first remove the very
// file being read. The output then goes to a temporary file beside the real
// file, which is flushed and renamed over it: the file is never truncated
// and is always either the old or the new version, and symbolic links to it
// stay links.
#pragma once

#include <filesystem>

namespace quillet::cli {

class AtomicOutput {
  public:
    // Decides where the output goes; creates the temporary file (empty) when
    // OUT is IN. Throws std::system_error when it cannot be created.
    AtomicOutput(const std::filesystem::path& in, const std::filesystem::path& out);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Whether OUT is the file IN names.
    bool replacesInput() const { return replaces_; }
    // Where the writer puts the whole new file: OUT itself, or the
    // temporary file. Never the same file as IN.
    const std::filesystem::path& destination() const { return destination_; }
    // The file the result ends up in: OUT, or OUT's real file.
    const std::filesystem::path& target() const { return target_; }

    // Flushes the destination to stable storage (also when nothing was
    // appended to the writer's copy), moves a temporary file over the target
    // and flushes the folder, so the new version survives a crash. Throws
    // std::system_error naming the file; the target is then unchanged.
    void commit();

  private:
    bool replaces_ = false;
    bool committed_ = false;
    std::filesystem::path destination_;
    std::filesystem::path target_;
};

}  // namespace quillet::cli
