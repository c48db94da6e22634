// A whole file mapped read-only into memory, so that objects can be parsed in
// place at any offset. The mapping lives exactly as long as the object; share
// it through std::shared_ptr and keep it alive while any byte view is in use.
// The descriptor stays open too: whoever copies the file (a save clones it)
// copies the very file that was mapped, not whatever has been renamed over
// its path since.
//
// Another program may truncate the file while it is mapped; reading the
// pages past its new end would raise SIGBUS. A process-wide handler puts
// zero-filled pages there instead and marks the mapping changed, so reading
// goes on and checkIntact() turns it into an error.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace quillet {

class MappedFile {
  public:
    // Throws FileAccessError: open (also for a failed stat), empty (a file of
    // zero bytes is refused, so every mapping has at least one byte), map.
    explicit MappedFile(const std::filesystem::path& path);
    static std::shared_ptr<const MappedFile> open(const std::filesystem::path& path) {
        return std::make_shared<const MappedFile>(path);
    }
    ~MappedFile();

    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The open descriptor of the mapped file (read-only).
    int descriptor() const { return fd_; }
    // The file's status when it was mapped.
    const struct stat& status() const { return status_; }
    // The file size at the time of mapping; always at least 1.
    int64_t count() const { return static_cast<int64_t>(size_); }
    size_t size() const { return size_; }
    const char* base() const { return base_; }
    // Valid while this object lives.
    std::string_view bytes() const { return {base_, size_}; }

    // Whether the file shrank under the mapping (some bytes read as zeros).
    bool changed() const { return changed_.load(std::memory_order_relaxed); }
    // Throws FileAccessError (changed) "PATH changed while it was read".
    void checkIntact() const;

  private:
    std::filesystem::path path_;
    int fd_ = -1;
    struct stat status_ {};
    const char* base_ = nullptr;
    size_t size_ = 0;
    std::atomic<bool> changed_{false};
    int guardSlot_ = -1;
};

}  // namespace quillet
