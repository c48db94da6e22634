// The name a document's own files are kept under (its recovery journal and
// its save marker): the first 32 lower-case hexadecimal characters of the
// SHA-256 digest of the document's path, made absolute with symbolic links
// resolved, so every way of reaching one file gives one key.
#pragma once

#include <string>

namespace quillet::DocumentKey {

inline constexpr size_t length = 32;

// The path made absolute, with the symbolic links of its existing part
// resolved; a path that cannot be resolved is only made absolute.
std::string resolvedPath(const std::string& documentPath);

// The key of the document at `documentPath` (resolved first).
std::string of(const std::string& documentPath);

}  // namespace quillet::DocumentKey
