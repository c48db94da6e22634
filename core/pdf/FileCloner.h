// Copying a document to the place a save starts from, and appending bytes to
// a file durably. No state; every call stands alone.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string_view>

namespace quillet {

// How clone() produces the destination's data. automatic tries a
// copy-on-write clone and falls back to a full copy; the other two force one
// branch (tests use them; reflinkOnly fails where the file system cannot).
enum class CloneMethod { automatic, reflinkOnly, copyOnly };

// The system calls the cloner depends on, replaceable so that tests can make
// the rare failures (a failing fsync or close, short writes, EINTR) happen.
// Each follows its system call's contract: -1 with errno set on failure.
struct FileClonerCalls {
    std::function<ssize_t(int fd, const void* data, size_t size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(int fd)> close;
    // Share the whole of source's data with destination (FICLONE).
    std::function<int(int destination, int source)> reflink;
    // The in-kernel copy (copy_file_range); EXDEV, ENOSYS, EINVAL or
    // EOPNOTSUPP make the copy go on by reading and writing.
    std::function<ssize_t(int source, off_t* sourceOffset, int destination, off_t* destinationOffset,
                          size_t size)>
        copyRange;

    static FileClonerCalls system();
};

namespace FileCloner {

// Replaces whatever is at destination (a file, or a symbolic link, dangling
// or not, which is removed and never followed) with a copy of source, whose
// symbolic links are resolved first. The copy keeps the source's mode (plus
// read and write for the owner, so that an update can be appended to it),
// timestamps and extended attributes (ACLs included).
// Throws FileAccessError (open) naming the source when it cannot be opened
// (the destination is then left alone), std::filesystem::filesystem_error
// when the old destination cannot be removed, FileAccessError (open) naming
// the destination when it cannot be created and (write) when the copy fails;
// a half-made destination is removed.
void clone(const std::filesystem::path& source, const std::filesystem::path& destination,
           CloneMethod method = CloneMethod::automatic,
           const FileClonerCalls& calls = FileClonerCalls::system());
// The same from an open descriptor of a regular file: the file that was
// opened is copied, whatever has been renamed over its path since.
void clone(int source, const std::filesystem::path& destination, CloneMethod method = CloneMethod::automatic,
           const FileClonerCalls& calls = FileClonerCalls::system());

// Appends bytes to an existing file (never created, never through a symbolic
// link) and flushes them to stable storage. Throws FileAccessError: open
// when opening fails, write when writing, syncing or closing fails (a save
// is only reported durable when it is).
void appendDurably(std::string_view bytes, const std::filesystem::path& destination,
                   const FileClonerCalls& calls = FileClonerCalls::system());

}  // namespace FileCloner
}  // namespace quillet
