// What the tool prints: results as JSON on standard output, failures as one
// "quillet: " line on standard error, and the exit status that goes with each.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

namespace quillet::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// One JSON document and a newline on standard output, flushed. Throws
// std::runtime_error when standard output cannot take it (a full disk, a
// closed pipe), so that a lost result is never reported as success.
void printJSON(const nlohmann::json& value);

// Plain text on standard output (help), flushed; throws like printJSON.
void printText(std::string_view text);

// "quillet: " + text on standard error; returns kExitFailure.
int reportError(std::string_view text);

// "quillet: warning: " + text on standard error; the command goes on.
void reportWarning(std::string_view text);

// "quillet: " + text, then "usage: " + the usage line on standard error;
// returns kExitUsage.
int reportUsageError(std::string_view text, std::string_view usage);

}  // namespace quillet::cli
