// `quillet info FILE [--password-file F|--password P]`: what the reader makes of a file, as
// one JSON object.
#pragma once

#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "core/pdf/PDFFileReader.h"

namespace quillet::cli {

Command infoCommand();

// The object `info` prints for an opened file: pages (null when a locked
// file's page tree cannot be read), encrypted, unlocked, securityError,
// xref, startxref, size.
nlohmann::json describe(PDFFileReader& reader);

}  // namespace quillet::cli
