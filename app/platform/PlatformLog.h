// The application's diagnostics: one line with the "VerdaPDF: " prefix, to the
// system log and to standard error.
#pragma once

#include <string_view>

namespace quillet {

// `message` is the text after the prefix, e.g. "journal write failed: disk full".
void logLine(std::string_view message);

}  // namespace quillet
