// The file encryption key of an encrypted PDF, as the core's reader finds it
// with the password the user unlocked the file with. The recovery journal
// seals its records under it (never under the password), so that the markup
// it keeps outside the file needs what the file needs to be read.
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace quillet {

// The key of the PDF at `path` (the document's working copy), or absent when
// the file is not encrypted, cannot be read or does not open with
// `password` (also tried empty); a failure to read an encrypted file is logged.
std::optional<std::string> fileKeyOf(const QString& path, const std::optional<QString>& password);

}  // namespace quillet
