// What one incremental update did.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/pdf/PDFValue.h"

namespace quillet {

struct IncrementalWriteResult {
    int64_t pagesUpdated = 0;        // page dictionaries rewritten
    int64_t annotationsWritten = 0;  // items written as new annotation objects
    int64_t annotationsReused = 0;   // items whose existing annotation objects were referenced again
    int64_t bytesAppended = 0;       // 0 when nothing was appended
    // The page references used (index = page index); absent when the page map was empty.
    std::optional<std::vector<PDFRef>> pageRefs;

    bool operator==(const IncrementalWriteResult&) const = default;
};

}  // namespace quillet
