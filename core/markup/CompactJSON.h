// The JSON text of item payloads: compact, keys sorted, "/" not escaped,
// integral numbers without a fraction and other numbers in the shortest form
// that reads back to the same double. The same value always gives the same
// bytes, which the incremental writer relies on to recognise unchanged items.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::CompactJSON {

// Nesting and size bounds of parse. An item needs a depth of 3; the value
// bound still admits strokes of millions of points.
inline constexpr size_t kMaxDepth = 64;
inline constexpr size_t kMaxValues = 8'388'608;

// Never throws for any value: text that is not valid UTF-8 is written with
// U+FFFD in place of each bad sequence, non-finite numbers as null.
std::string write(const nlohmann::json& value);

// Absent for malformed JSON, trailing data, text deeper than kMaxDepth or
// with more than kMaxValues values (refused before any node is built).
std::optional<nlohmann::json> parse(std::string_view text);

// The text with every ill-formed UTF-8 sequence (including encoded
// surrogates and overlong forms) replaced by U+FFFD.
std::string repairedUTF8(std::string_view text);

}  // namespace quillet::CompactJSON
