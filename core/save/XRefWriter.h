// The cross-reference section that closes an incremental update: a classic
// table or a cross-reference stream listing the objects the update wrote,
// the update's trailer, and the startxref line.
#pragma once

#include <cstdint>
#include <vector>

#include "core/pdf/PDFValue.h"

namespace quillet::XRefWriter {

// Offsets from here on no longer fit the ten digits of a table entry.
inline constexpr int64_t kTableOffsetLimit = 10'000'000'000;
// Offsets from here on need eight bytes in a cross-reference stream entry.
inline constexpr int64_t kWideOffsetLimit = int64_t{1} << 32;
inline constexpr int kStreamCompressionLevel = 6;

// One object listed by the section: in use at a byte offset of the
// destination (counted from its first byte), or free, or (only in a stream)
// stored in an object stream.
struct Entry {
    enum class Type { free = 0, inUse = 1, compressed = 2 };
    int64_t num = 0;
    int64_t gen = 0;     // compressed: the index in the object stream
    int64_t offset = 0;  // compressed: the object stream's number
    Type type = Type::inUse;
};

struct Source {
    const PDFDictionary* trailer = nullptr;  // the source's (merged) trailer
    int64_t startXref = 0;                   // its newest section (from the first byte), the update's /Prev
    bool newestSectionIsStream = false;
    // Where the written offsets count from: the position of the header when
    // bytes come before it, so that readers, which count from there, find
    // every object.
    int64_t origin = 0;
    // The section lists every object of the file and has no /Prev (the
    // source's own offsets cannot be trusted by other readers).
    bool listsEverything = false;
};

// Appends the section for `entries` to `out`, whose first byte lies at
// `baseOffset` in the destination: a table when the source's newest section
// is one and the offset fits, otherwise a stream object numbered
// `nextFreeNumber` (always a stream when an entry is compressed). Ends with
// "startxref", the section's offset and %%EOF.
void append(std::vector<Entry> entries, const Source& source, int64_t nextFreeNumber, int64_t baseOffset,
            Bytes& out);

}  // namespace quillet::XRefWriter
