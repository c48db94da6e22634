// The private copy of a user's file that a document reads and every save
// starts from, so the user's file is only ever replaced whole by a finished
// save. A copy-on-write clone where the file system allows it, otherwise a
// full copy in the temporary folder; a file too big to copy is used directly.
//
// Where copies live: "QuilletWorkingCopies-<uid>/<pid>" in the temporary
// folder, one folder per user and in it one per running process, both mode
// 0700: the temporary folder is shared by every user, and the copies are the
// user's documents. Each folder is checked before use (PrivateFolder); one
// that is a symbolic link, another user's or open to others is left alone and
// a fresh private folder beside it is used for that copy instead. When the
// temporary folder is on another file system than the file (so no clone is
// possible there), the clone goes into a hidden folder beside the file,
// ".QuilletWorkingCopies-<pid>", which is removed with its copy and swept when
// a file of that folder is next opened by a later process. No visible file is
// ever left in the user's folder. Export temporaries share the process folder.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "core/pdf/FileCloner.h"

namespace quillet {

struct WorkingCopy {
    QString path;        // what the document reads: the copy, or the resolved user file
    bool owned = false;  // a private copy, to remove when no longer needed
};

namespace WorkingCopies {

inline constexpr char userFolderPrefix[] = "QuilletWorkingCopies-";
inline constexpr char hiddenFolderPrefix[] = ".QuilletWorkingCopies-";
// Files bigger than this are not copied (a clone, which costs no space, is
// still made where possible).
inline constexpr int64_t sizeLimit = int64_t{512} * 1024 * 1024;

// Where copies are made; tests point it elsewhere and fake the clone.
struct Places {
    QString temporaryFolder;  // holds the per-user folder
    int64_t processId = 0;
    uid_t userId = ::geteuid();  // whose folder it is, and who must own it
    FileClonerCalls calls = FileClonerCalls::system();
    // Whether two existing paths are on one file system (st_dev).
    std::function<bool(const std::string&, const std::string&)> sameFileSystem;

    // The system's temporary folder, this process and user, real system calls.
    static Places forProcess();
};

// "<temporary folder>/QuilletWorkingCopies-<uid>"
QString userFolder(const Places& places = Places::forProcess());
// "<temporary folder>/QuilletWorkingCopies-<uid>/<pid>"
QString processFolder(const Places& places = Places::forProcess());

// The folder to write a private temporary file into now: the process folder,
// created if needed, when it and the per-user folder are private to the user;
// otherwise a fresh private folder in the temporary folder, which remove()
// deletes with its last file. Either fallback is logged with its reason; empty
// when no private folder can be made at all.
QString privateFolder(const Places& places = Places::forProcess());

// Makes the working copy of `source` (symbolic links resolved). Never throws:
// when neither a clone nor a copy can be made, the result is the resolved
// source itself, not owned, and the log says the file is read in place and why.
WorkingCopy make(const QString& source, int64_t limit = sizeLimit,
                 const Places& places = Places::forProcess());

// Deletes an owned copy, then its folder when that is empty, unless it is the
// process's own working-copy folder. Failures are ignored.
void remove(const QString& path, const Places& places = Places::forProcess());

// Removes the working-copy folders of processes that no longer exist: the
// per-process folders in this user's folder (at launch; nothing when that
// folder is not private to the user) and the hidden
// folders beside files in `userFolder` (when a file there is opened). Names
// that are not a process id, this process's and those of running processes
// stay. Returns how many folders were removed.
int sweepStale(const Places& places = Places::forProcess());
int sweepStaleBeside(const QString& userFolder, const Places& places = Places::forProcess());

// True when `name` is a decimal 32-bit process id other than `self` whose
// process no longer exists (a signal-0 probe says ESRCH).
bool namesDeadProcess(const QString& name, int64_t self);

}  // namespace WorkingCopies
}  // namespace quillet
