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

// One object written by the update, in use at a byte offset of the destination.
struct Entry {
    int64_t num = 0;
    int64_t gen = 0;
    int64_t offset = 0;
};

struct Source {
    const PDFDictionary* trailer = nullptr;  // the source's (merged) trailer
    int64_t startXref = 0;                   // its newest section, the update's /Prev
    bool newestSectionIsStream = false;
};

// Appends the section for `entries` to `out`, whose first byte lies at
// `baseOffset` in the destination: a table when the source's newest section
// is one and the offset fits, otherwise a stream object numbered
// `nextFreeNumber`. Ends with "startxref", the section's offset and %%EOF.
void append(std::vector<Entry> entries, const Source& source, int64_t nextFreeNumber, int64_t baseOffset,
            Bytes& out);

}  // namespace quillet::XRefWriter
