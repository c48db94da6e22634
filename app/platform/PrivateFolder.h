// A folder only its owner may enter: where the copies of a user's files and
// other temporaries go, in a temporary folder that every user can write to.
// There a folder of the expected name may already exist, made by someone else
// to read the copies or swapped for a symbolic link to redirect them, so a
// folder is checked through a descriptor opened without following links
// before each use, never trusted by its name.
#pragma once

#include <sys/types.h>

#include <QString>
#include <string>

namespace quillet::PrivateFolder {

// Empty when `path` is a folder, not a symbolic link, that `owner` owns and
// may enter and write, with no access for the group or others; otherwise what
// is wrong, for the log.
std::string problem(const QString& path, uid_t owner);

// Creates `path` with mode 0700 unless something is there already, then
// checks what is there as problem() does.
std::string ensure(const QString& path, uid_t owner);

// A new folder "<parent>/<prefix>XXXXXX" of mode 0700 (mkdtemp), or empty
// when none can be made.
QString makeFresh(const QString& parent, const QString& prefix);

}  // namespace quillet::PrivateFolder
