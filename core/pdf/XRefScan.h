// The scan that rebuilds a damaged file's object table: one pass over the
// bytes for "N G obj" headers and "trailer" keywords, in file order, each
// header tagged when an object-stream, cross-reference-stream or catalog type
// follows it closely. Linear in the file's size; nothing is parsed beyond headers.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillet::XRefScan {

// How far after a header "/ObjStm", "/XRef" or "/Catalog" is looked for (never past the
// next header, so that all windows together stay within the file).
inline constexpr int64_t kTypeSearchSpan = 1'024;
// Blanks allowed between the numbers of a header and before "obj".
inline constexpr int64_t kMaxHeaderBlanks = 32;
// Digits of an object or generation number in a header.
inline constexpr int64_t kMaxHeaderDigits = 10;

struct FoundObject {
    enum class Hint { plain, objectStream, xrefStream, catalog };
    int64_t num = 0;
    int64_t gen = 0;
    int64_t offset = 0;  // of the number's first digit, from the file's first byte
    Hint hint = Hint::plain;
};

struct Result {
    std::vector<FoundObject> objects;  // in file order
    std::vector<int64_t> trailers;     // offsets just after each "trailer" keyword
};

Result scan(std::string_view bytes);

}  // namespace quillet::XRefScan
