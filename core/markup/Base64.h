// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks), decoded
// strictly: the item payload is machine-written, so anything that is not
// exactly what the encoder writes is refused rather than guessed at.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet::Base64 {

std::string encode(std::string_view bytes);

// Absent unless the text is a whole number of 4-character groups of the
// alphabet, "=" appears only as the padding of the last group, and the
// unused bits before the padding are zero. White space is refused too.
std::optional<std::string> decode(std::string_view text);

}  // namespace quillet::Base64
