// The core's one compression codec: zlib-format deflate and a bounded
// inflate, as used by PDF FlateDecode streams and item payloads.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/pdf/FlateError.h"
#include "core/pdf/PDFValue.h"

namespace quillet::Flate {

// Output caps callers pass to inflate: a hostile stream must not exhaust memory.
inline constexpr size_t kStreamDataLimit = 268'435'456;  // stream data read from a PDF file
inline constexpr size_t kItemPayloadLimit = 67'108'864;  // a stored item payload

// Compresses at zlib level 0..9. Never throws: any failure (including
// input of 4 GiB or more) gives an empty result.
Bytes deflate(std::string_view bytes, int level);

// Decompresses a zlib stream. An empty input gives an empty result. Output
// of exactly `limit` bytes is allowed; more throws tooLarge. A damaged or
// truncated stream yields what decoded before the damage; throws corrupt
// only when nothing decoded, initFailed when zlib cannot start.
Bytes inflate(std::string_view bytes, size_t limit);
// The same over a raw byte range [start, end).
Bytes inflate(const char* start, const char* end, size_t limit);

}  // namespace quillet::Flate
